#include "platform/linux/gtk/passphrasefeld.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/gtk/gtk_dialoge.h"
#include "platform/linux/gtk/gtk_testhilfe.h"

namespace tw {
namespace {

// Key presses or a left click (press, release) as the display would deliver them.
void senden(GdkEvent* ereignis, GdkWindow* fenster) {
  GdkSeat* sitz = gdk_display_get_default_seat(gdk_display_get_default());
  ereignis->any.window = GDK_WINDOW(g_object_ref(fenster));
  gdk_event_set_device(
      ereignis, ereignis->type == GDK_KEY_PRESS ? gdk_seat_get_keyboard(sitz) : gdk_seat_get_pointer(sitz));
  gtk_main_do_event(ereignis);
  gdk_event_free(ereignis);
}

// GTK's key bindings, such as Return and Escape, go by the key's code.
void taste(GtkWidget* fenster, guint wert) {
  GdkEvent* ereignis = gdk_event_new(GDK_KEY_PRESS);
  ereignis->key.keyval = wert;
  GdkKeymapKey* tasten = nullptr;
  gint anzahl = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), wert, &tasten,
                                    &anzahl);
  ereignis->key.hardware_keycode = anzahl > 0 ? static_cast<guint16>(tasten[0].keycode) : 0;
  g_free(tasten);
  senden(ereignis, gtk_widget_get_window(fenster));
}

void tippen(GtkWidget* fenster, const char* text) {
  for (const char* c = text; *c; c = g_utf8_next_char(c))
    taste(fenster, gdk_unicode_to_keyval(g_utf8_get_char(c)));
}

// Returns the window's focus widget while the button is down.
GtkWidget* klicken(GtkWidget* knopf) {
  GtkWidget* waehrenddessen = nullptr;
  for (const GdkEventType art : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* ereignis = gdk_event_new(art);
    ereignis->button.button = 1;
    ereignis->button.x = ereignis->button.y = 5;
    senden(ereignis, gtk_button_get_event_window(GTK_BUTTON(knopf)));
    if (art == GDK_BUTTON_PRESS)
      waehrenddessen = gtk_window_get_focus(GTK_WINDOW(gtk_widget_get_toplevel(knopf)));
  }
  return waehrenddessen;
}

GtkDialog* offenerDialog() {
  GtkDialog* dialog = nullptr;
  GList* fenster = gtk_window_list_toplevels();
  for (GList* f = fenster; f; f = f->next) {
    if (GTK_IS_DIALOG(f->data) && gtk_widget_get_visible(GTK_WIDGET(f->data))) dialog = GTK_DIALOG(f->data);
  }
  g_list_free(fenster);
  return dialog;
}

// Runs the unlock dialog; once it is up, `handlung` acts on it from the main loop.
Eingabe fragenUnd(void (*handlung)(GtkDialog*)) {
  static void (*jetzt)(GtkDialog*) = nullptr;
  jetzt = handlung;
  g_idle_add(
      +[](gpointer) { return jetzt(offenerDialog()), G_SOURCE_REMOVE; }, nullptr);
  // An action that fails to answer fails the case instead of hanging it.
  const guint frist = g_timeout_add_seconds(
      10, +[](gpointer) { return gtk_dialog_response(offenerDialog(), GTK_RESPONSE_NONE), G_SOURCE_REMOVE; },
      nullptr);
  Eingabe eingabe = GtkDialoge().passphraseFragen(
      {.knoepfe = {"Entsperren", "Abbrechen"}, .tresorBild = true, .kaestchen = "Im Schlüsselbund merken"});
  g_source_remove(frist);
  return eingabe;
}

void offenPruefen(GtkDialog* dialog) {
  EXPECT_TRUE(GTK_IS_ENTRY(gtk_window_get_focus(GTK_WINDOW(dialog))));
  EXPECT_FALSE(gtk_toggle_button_get_active(dialogKaestchen(dialog)));
}

}  // namespace

TEST(PassphraseFeld, AugeZeigtUndVerbirgtOhneFokusUndSchreibstelleZuVerlieren) {
  ASSERT_TRUE(gtkBereit());
  struct Fall {
    std::string text;
    int klicks;
    bool fokusAnderswo;  // another widget has the focus before the first click
  };
  for (const Fall& fall : {Fall{"", 1, true}, Fall{"geheim", 1, false}, Fall{"geheim", 2, true}}) {
    SCOPED_TRACE(fall.text + " " + std::to_string(fall.klicks));
    PassphraseFeld feld;
    GtkWidget* fenster = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* spalte = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    GtkWidget* anderer = gtk_button_new();
    gtk_container_add(GTK_CONTAINER(fenster), spalte);
    gtk_container_add(GTK_CONTAINER(spalte), feld.widget());
    gtk_container_add(GTK_CONTAINER(spalte), anderer);
    gtk_widget_show_all(fenster);
    GtkEditable* eingabe = GTK_EDITABLE(feld.eingabe());
    gtk_entry_set_text(feld.eingabe(), fall.text.c_str());
    gtk_editable_select_region(eingabe, 0, 2);
    gtk_widget_grab_focus(fall.fokusAnderswo ? anderer : GTK_WIDGET(eingabe));
    EXPECT_FALSE(gtk_entry_get_visibility(feld.eingabe()));

    for (int i = 0; i < fall.klicks; ++i) {
      GtkWidget* vorher = gtk_window_get_focus(GTK_WINDOW(fenster));
      EXPECT_EQ(klicken(feld.auge()), vorher);
    }
    const bool sichtbar = fall.klicks % 2 == 1;
    EXPECT_EQ(gtk_entry_get_visibility(feld.eingabe()), sichtbar);
    EXPECT_EQ(feld.passphrase().text(), fall.text);
    EXPECT_TRUE(gtk_widget_is_focus(GTK_WIDGET(eingabe)));
    EXPECT_FALSE(gtk_editable_get_selection_bounds(eingabe, nullptr, nullptr));
    EXPECT_EQ(gtk_editable_get_position(eingabe), static_cast<int>(fall.text.size()));
    const char* symbol = nullptr;
    gtk_image_get_icon_name(GTK_IMAGE(gtk_button_get_image(GTK_BUTTON(feld.auge()))), &symbol, nullptr);
    EXPECT_STREQ(symbol, sichtbar ? "view-conceal-symbolic" : "view-reveal-symbolic");
    AtkObject* zugang = gtk_widget_get_accessible(feld.auge());
    EXPECT_STREQ(atk_object_get_description(zugang),
                 sichtbar ? "Passphrase verbergen" : "Passphrase anzeigen");
    EXPECT_STREQ(atk_object_get_name(zugang), "Passphrase anzeigen");
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(GTK_WIDGET(eingabe))), "Passphrase");
    tippen(fenster, "x");
    EXPECT_EQ(feld.passphrase().text(), fall.text + "x");
    gtk_widget_destroy(fenster);
  }
}

TEST(PassphraseFeld, DialogNimmtEingabeMitReturnUndVerwirftSieBeiEscape) {
  ASSERT_TRUE(gtkBereit());
  const Eingabe ja = fragenUnd([](GtkDialog* d) {
    offenPruefen(d);
    gtk_toggle_button_set_active(dialogKaestchen(d), TRUE);
    tippen(GTK_WIDGET(d), "Ä b_1");
    taste(GTK_WIDGET(d), GDK_KEY_Return);
  });
  EXPECT_EQ(ja.knopf, ersterKnopf);
  EXPECT_TRUE(ja.kaestchen);
  EXPECT_EQ(ja.passphrase.text(), "Ä b_1");

  const Eingabe nein = fragenUnd([](GtkDialog* d) {
    offenPruefen(d);
    tippen(GTK_WIDGET(d), "geheim");
    taste(GTK_WIDGET(d), GDK_KEY_Escape);
  });
  EXPECT_EQ(nein.knopf, ersterKnopf + 1);
  EXPECT_TRUE(nein.passphrase.empty());
}

}  // namespace tw
