#include "platform/linux/gtk/gtk_dialoge.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/linux/gtk/cairo_tresorbild.h"
#include "platform/linux/gtk/fensterkuerzel.h"
#include "platform/linux/gtk/passphrasefeld.h"

namespace tw {
namespace {

constexpr const char* kaestchenDaten = "tw-kaestchen";
constexpr int bildGroesse = 64;
constexpr int feldBreite = 320;

// Return must not confirm anything when no button is the default, not even a
// focused one.
gboolean returnSchlucken(GtkWidget*, GdkEventKey* taste, gpointer) {
  return taste->keyval == GDK_KEY_Return || taste->keyval == GDK_KEY_KP_Enter ||
         taste->keyval == GDK_KEY_ISO_Enter;
}

// The vault picture, for a critical alert with the warning sign in its corner.
GdkPixbuf* tresorMitWarnung(bool kritisch) {
  cairo_surface_t* flaeche = tresorFlaeche(bildGroesse);
  GdkPixbuf* warnung = kritisch
                           ? gtk_icon_theme_load_icon(gtk_icon_theme_get_default(), "dialog-warning",
                                                      bildGroesse / 2, GTK_ICON_LOOKUP_FORCE_SIZE, nullptr)
                           : nullptr;
  if (warnung) {
    cairo_t* cr = cairo_create(flaeche);
    gdk_cairo_set_source_pixbuf(cr, warnung, bildGroesse / 2, bildGroesse / 2);
    cairo_paint(cr);
    cairo_destroy(cr);
    g_object_unref(warnung);
  }
  GdkPixbuf* bild = gdk_pixbuf_get_from_surface(flaeche, 0, 0, bildGroesse, bildGroesse);
  cairo_surface_destroy(flaeche);
  return bild;
}

// Every alert and confirmation dialog of the app that is still there, the newest last.
std::vector<GtkWidget*>& offeneDialoge() {
  static std::vector<GtkWidget*> offen;
  return offen;
}

void anmelden(GtkWidget* dialog) {
  offeneDialoge().push_back(dialog);
  g_signal_connect(dialog, "destroy", G_CALLBACK(+[](GtkWidget* weg, gpointer) {
                     auto& offen = offeneDialoge();
                     offen.erase(std::remove(offen.begin(), offen.end(), weg), offen.end());
                   }),
                   nullptr);
}

}  // namespace

std::vector<GtkWidget*> sichtbareDialoge() {
  std::vector<GtkWidget*> sichtbar;
  for (GtkWidget* dialog : offeneDialoge())
    if (gtk_widget_get_visible(dialog)) sichtbar.push_back(dialog);
  return sichtbar;
}

namespace {

GtkWidget* bildFuer(const Hinweis& hinweis) {
  if (hinweis.tresorBild) {
    GdkPixbuf* bild = tresorMitWarnung(hinweis.kritisch);
    GtkWidget* widget = gtk_image_new_from_pixbuf(bild);
    g_object_unref(bild);
    return widget;
  }
  if (hinweis.kritisch) return gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
  return nullptr;
}

}  // namespace

GtkDialog* dialogBauen(const Hinweis& hinweis) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL,
                                             hinweis.kritisch ? GTK_MESSAGE_WARNING : GTK_MESSAGE_INFO,
                                             GTK_BUTTONS_NONE, "%s", hinweis.nachricht.c_str());
  GtkMessageDialog* meldung = GTK_MESSAGE_DIALOG(dialog);
  GtkWindow* fenster = GTK_WINDOW(dialog);
  gtk_window_set_title(fenster, "Taler Wacht");
  if (GdkPixbuf* symbol = tresorPixbuf(bildGroesse)) {
    gtk_window_set_icon(fenster, symbol);
    g_object_unref(symbol);
  }
  if (!hinweis.text.empty()) gtk_message_dialog_format_secondary_text(meldung, "%s", hinweis.text.c_str());
  if (GtkWidget* bild = bildFuer(hinweis)) {
    // Still the only way to put a picture beside the text of a message dialog.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(meldung, bild);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show(bild);
  }
  if (hinweis.kaestchen) {
    GtkWidget* kaestchen = gtk_check_button_new_with_label(hinweis.kaestchen->c_str());
    gtk_box_pack_start(GTK_BOX(gtk_message_dialog_get_message_area(meldung)), kaestchen, FALSE, FALSE, 0);
    gtk_widget_show(kaestchen);
    g_object_set_data(G_OBJECT(dialog), kaestchenDaten, kaestchen);
  }
  // GTK places buttons left to right in the order added.
  for (const Knopf& knopf : knopfReihe(hinweis))
    gtk_dialog_add_button(GTK_DIALOG(dialog), knopf.titel.c_str(), knopf.antwort);
  if (hinweis.ersterAufEscape) {
    // The first focus on the first button, so that space too answers as Escape does.
    gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), ersterKnopf));
  }
  if (hinweis.ohneVorgabe) {
    g_signal_connect(dialog, "key-press-event", G_CALLBACK(returnSchlucken), nullptr);
  } else {
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), ersterKnopf);
    GtkWidget* vorgabe = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), ersterKnopf);
    gtk_style_context_add_class(gtk_widget_get_style_context(vorgabe), GTK_STYLE_CLASS_SUGGESTED_ACTION);
  }
  strgWSchliesst(fenster);
  gtk_window_set_position(fenster, GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(fenster, TRUE);
  anmelden(dialog);
  return GTK_DIALOG(dialog);
}

void alleDialogeSchliessen() {
  // A copy: an answered confirmation dialog destroys itself meanwhile.
  const std::vector<GtkWidget*> offen = offeneDialoge();
  for (GtkWidget* dialog : offen) {
    const auto& noch = offeneDialoge();
    if (std::find(noch.begin(), noch.end(), dialog) != noch.end())
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
  }
}

void GtkDialoge::nachVorne() {
  if (!offeneDialoge().empty()) gtk_window_present(GTK_WINDOW(offeneDialoge().back()));
}

void GtkDialoge::alleSchliessen() { alleDialogeSchliessen(); }

GtkToggleButton* dialogKaestchen(GtkDialog* dialog) {
  return static_cast<GtkToggleButton*>(g_object_get_data(G_OBJECT(dialog), kaestchenDaten));
}

Wahl GtkDialoge::zeigen(const Hinweis& hinweis) {
  GtkDialog* dialog = dialogBauen(hinweis);
  gtk_window_present(GTK_WINDOW(dialog));
  Wahl wahl{.knopf = knopfFuer(hinweis, gtk_dialog_run(dialog))};
  if (GtkToggleButton* kaestchen = dialogKaestchen(dialog))
    wahl.kaestchen = gtk_toggle_button_get_active(kaestchen);
  gtk_widget_destroy(GTK_WIDGET(dialog));
  return wahl;
}

Eingabe GtkDialoge::passphraseFragen(const Hinweis& hinweis) {
  GtkDialog* dialog = dialogBauen(hinweis);
  PassphraseFeld feld;
  GtkWidget* spalte = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
  gtk_widget_set_halign(spalte, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(spalte), feld.widget(), FALSE, FALSE, 0);
  GtkBox* bereich = GTK_BOX(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog)));
  GtkToggleButton* kaestchen = dialogKaestchen(dialog);
  if (kaestchen) {
    // Moved under the field, wrapped to its width.
    g_object_ref(kaestchen);
    gtk_container_remove(GTK_CONTAINER(bereich), GTK_WIDGET(kaestchen));
    gtk_box_pack_start(GTK_BOX(spalte), GTK_WIDGET(kaestchen), FALSE, FALSE, 0);
    g_object_unref(kaestchen);
    GtkLabel* titel = GTK_LABEL(gtk_bin_get_child(GTK_BIN(kaestchen)));
    gtk_label_set_line_wrap(titel, TRUE);
    gtk_label_set_max_width_chars(titel, 1);  // no wider than the request below
    gtk_widget_set_size_request(GTK_WIDGET(kaestchen), feldBreite, -1);
  }
  gtk_box_pack_start(bereich, spalte, FALSE, FALSE, 0);
  gtk_widget_show(spalte);
  gtk_entry_set_activates_default(feld.eingabe(), TRUE);
  // The user types at once.
  gtk_entry_grab_focus_without_selecting(feld.eingabe());

  gtk_window_present(GTK_WINDOW(dialog));
  Eingabe eingabe{.knopf = knopfFuer(hinweis, gtk_dialog_run(dialog))};
  if (kaestchen) eingabe.kaestchen = gtk_toggle_button_get_active(kaestchen);
  if (eingabe.knopf == ersterKnopf) eingabe.passphrase = feld.passphrase();
  gtk_widget_destroy(GTK_WIDGET(dialog));
  return eingabe;
}

}  // namespace tw
