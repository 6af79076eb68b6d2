#include "platform/linux/gtk/gtk_dialoge.h"

#include <algorithm>
#include <cmath>

#include "controller/tresorbild.h"
#include "helfer/gtk_testhilfe.h"
#include "platform/linux/gtk/cairo_tresorbild.h"
#include "test.h"

namespace tw {
namespace {

using Texte = std::vector<std::string>;

const Hinweis frage{.nachricht = "Tresor entsperren?",
                    .text = "Die Passphrase bleibt nur im Speicher.",
                    .knoepfe = {"Entsperren", "Abbrechen", "Später"},
                    .tresorBild = true,
                    .kaestchen = "Nicht mehr fragen"};
const Hinweis ohneVorgabe{.nachricht = "Neu starten?",
                          .knoepfe = {"Später", "Jetzt"},
                          .ersterAufEscape = true,
                          .ohneVorgabe = true};

std::vector<GtkWidget*> knoepfe(GtkDialog* dialog) {
  return kinder(gtk_widget_get_parent(gtk_dialog_get_widget_for_response(dialog, ersterKnopf)));
}

// The alert as built: its buttons left to right, "*" the default, then its check box.
std::string gestalt(const Hinweis& hinweis) {
  GtkDialog* dialog = dialogBauen(hinweis);
  std::string text;
  for (GtkWidget* k : knoepfe(dialog))
    text += gtk_button_get_label(GTK_BUTTON(k)) +
            std::string(k == gtk_window_get_default_widget(GTK_WINDOW(dialog)) ? "* " : " ");
  if (GtkToggleButton* kaestchen = dialogKaestchen(dialog))
    text += gtk_button_get_label(GTK_BUTTON(kaestchen));
  gtk_widget_destroy(GTK_WIDGET(dialog));
  return text;
}

// The responses a key press gives in the shown alert, once GTK is done with
// it: a pressed button answers after its press animation.
std::vector<int> antwortenAufTaste(const Hinweis& hinweis, guint wert, GdkModifierType zusatz = {}) {
  GtkDialog* dialog = dialogBauen(hinweis);
  gtk_widget_show(GTK_WIDGET(dialog));
  g_signal_connect(dialog, "delete-event", G_CALLBACK(gtk_true), nullptr);  // destroyed below, not by GTK
  std::vector<int> antworten;
  g_signal_connect_swapped(dialog, "response",
                           G_CALLBACK(+[](std::vector<int>* a, int id) { a->push_back(id); }), &antworten);
  taste(GTK_WIDGET(dialog), wert, zusatz);
  const auto gedrueckt = [&] {
    return std::ranges::any_of(knoepfe(dialog), [](GtkWidget* k) {
      return (gtk_widget_get_state_flags(k) & GTK_STATE_FLAG_ACTIVE) != 0;
    });
  };
  bisAbgearbeitet([&] { return !antworten.empty() || !gedrueckt(); });
  gtk_widget_destroy(GTK_WIDGET(dialog));
  return antworten;
}

// What the passphrase field shows: the text or dots, the eye's icon and what a click on it does.
std::string augenstand(GtkWidget* feld, GtkWidget* auge) {
  const char* symbol = nullptr;
  gtk_image_get_icon_name(GTK_IMAGE(gtk_button_get_image(GTK_BUTTON(auge))), &symbol, nullptr);
  return std::string(gtk_entry_get_visibility(GTK_ENTRY(feld)) ? "lesbar " : "verdeckt ") + symbol + " " +
         atk_object_get_description(gtk_widget_get_accessible(auge));
}

// The palette colour of an RGBA pixel, "" for none at all.
std::string farbe(const guchar* p) {
  const auto nah = [p](int i, double anteil) { return std::abs(p[i] - std::lround(anteil * 255)) <= 2; };
  for (const auto& [name, f] : {std::pair{"dunkel", dunkel}, {"hell", hell}, {"gold", gold}})
    if (p[3] == 255 && nah(0, f.rot) && nah(1, f.gruen) && nah(2, f.blau)) return name;
  return p[3] ? "?" : "";
}

}  // namespace

TEST(Dialoge, ErsterKnopfStehtRechtsIstDieVorgabeUndTastenAntwortenNachDenRegeln) {
  ASSERT_TRUE(gtkBereit());
  // The order is the core's; GTK places them left to right.
  EXPECT_EQ(gestalt(frage), "Später Abbrechen Entsperren* Nicht mehr fragen");
  EXPECT_EQ(gestalt(ohneVorgabe), "Jetzt Später ");

  // Return goes to the default even from the focused check box; without a default nowhere, but
  // space still answers with the focused first button.
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_Return), std::vector{1000});
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_Escape), std::vector{int{GTK_RESPONSE_DELETE_EVENT}});
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_w, GDK_CONTROL_MASK),
            std::vector{int{GTK_RESPONSE_DELETE_EVENT}});
  EXPECT_EQ(antwortenAufTaste(ohneVorgabe, GDK_KEY_Return), std::vector<int>{});
  EXPECT_EQ(antwortenAufTaste(ohneVorgabe, GDK_KEY_space), std::vector{1000});
  EXPECT_EQ(antwortenAufTaste({.knoepfe = {"Später", "Jetzt"}, .ersterAufEscape = true}, GDK_KEY_Return),
            std::vector{1000});

  const Wahl geschlossen = imDialog(
      [](GtkDialog* d) {
        gtk_toggle_button_set_active(dialogKaestchen(d), TRUE);
        GtkDialoge().alleSchliessen();  // as the app does when it ends
      },
      [] { return GtkDialoge().zeigen(frage); });
  EXPECT_EQ(geschlossen.knopf, 1001);
  EXPECT_TRUE(geschlossen.kaestchen);
}

// The field has the focus; a click on the eye shows or hides the text and leaves the focus where it
// was, and typing goes on at the end of the entry, replacing nothing. Return takes it, Escape drops it.
TEST(PassphraseFeld, AugeZeigtUndVerbirgtOhneFokusUndSchreibstelleZuVerlieren) {
  ASSERT_TRUE(gtkBereit());
  for (const auto& [wert, knopf, passphrase] :
       {std::tuple{GDK_KEY_Return, ersterKnopf, "Ä b_1"}, std::tuple{GDK_KEY_Escape, ersterKnopf + 1, ""}}) {
    const Eingabe eingabe = imDialog(
        [wert](GtkDialog* d) {
          GtkWidget* feld = gtk_window_get_focus(GTK_WINDOW(d));
          ASSERT_TRUE(GTK_IS_ENTRY(feld));
          GtkWidget* kaestchen = GTK_WIDGET(dialogKaestchen(d));
          tippen(GTK_WIDGET(d), "Ä b");
          GtkWidget* auge = kinder(gtk_widget_get_parent(feld)).back();
          Texte gesehen{augenstand(feld, auge)};
          for (GtkWidget* vorher : {feld, kaestchen}) {
            gtk_widget_grab_focus(vorher);
            gtk_editable_select_region(GTK_EDITABLE(feld), 0, 2);
            EXPECT_EQ(klicken(auge), vorher);
            gesehen.push_back(augenstand(feld, auge));
          }
          EXPECT_EQ(gesehen, (Texte{"verdeckt view-reveal-symbolic Passphrase anzeigen",
                                    "lesbar view-conceal-symbolic Passphrase verbergen",
                                    "verdeckt view-reveal-symbolic Passphrase anzeigen"}));
          EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(kaestchen)));
          gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(kaestchen), TRUE);
          tippen(GTK_WIDGET(d), "_1");
          taste(GTK_WIDGET(d), wert);
        },
        [] {
          return GtkDialoge().passphraseFragen(
              {.knoepfe = {"Entsperren", "Abbrechen"}, .tresorBild = true, .kaestchen = "Merken"});
        });
    EXPECT_EQ(eingabe.knopf, knopf);
    EXPECT_TRUE(eingabe.kaestchen);
    EXPECT_EQ(eingabe.passphrase.text(), passphrase);
  }
}

// The alerts' vault picture at 64 and at 32 pixels, probed well inside one shape each (on the 64-unit
// grid, y upwards): left foot, between the feet, door, the dial's ring and centre, handle, two corners.
// The feet tell a picture upside down; the dial's centre and the handle a wrong painting order.
TEST(Tresorbild, FormenStehenAufrechtUndInDerRichtigenReihenfolge) {
  const std::pair<double, double> proben[] = {{17, 4},  {32, 4},  {20, 50},   {27, 33},
                                              {33, 31}, {47, 33}, {0.5, 0.5}, {63.5, 63.5}};
  for (const int groesse : {64, 32}) {
    GdkPixbuf* bild = tresorPixbuf(groesse);
    ASSERT_EQ(gdk_pixbuf_get_width(bild), groesse);
    Texte farben;
    for (const auto& [x, y] : proben)
      farben.push_back(farbe(gdk_pixbuf_get_pixels(bild) +
                             static_cast<int>((64 - y) * groesse / 64) * gdk_pixbuf_get_rowstride(bild) +
                             4 * static_cast<int>(x * groesse / 64)));
    EXPECT_EQ(farben, (Texte{"dunkel", "", "hell", "gold", "dunkel", "gold", "", ""})) << groesse;
    g_object_unref(bild);
  }
}

}  // namespace tw
