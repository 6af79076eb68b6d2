#include "platform/linux/gtk/gtk_dialoge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "controller/tresorbild.h"
#include "platform/linux/gtk/cairo_tresorbild.h"
#include "platform/linux/gtk/gtk_testhilfe.h"
#include "platform/linux/gtk/passphrasefeld.h"

namespace tw {
namespace {

const Hinweis frage{.nachricht = "Tresor entsperren?",
                    .text = "Die Passphrase bleibt nur im Speicher.",
                    .knoepfe = {"Entsperren", "Abbrechen", "Später"},
                    .tresorBild = true,
                    .kaestchen = "Nicht mehr fragen"};
const Hinweis jaNein{.nachricht = "Weiter?", .knoepfe = {"Ja", "Nein"}};
const Hinweis ersterAufEscape{
    .nachricht = "Neu starten?", .knoepfe = {"Später", "Jetzt"}, .ersterAufEscape = true};
const Hinweis ohneVorgabe{.nachricht = "Neu starten?",
                          .knoepfe = {"Später", "Jetzt"},
                          .ersterAufEscape = true,
                          .ohneVorgabe = true};

std::vector<GtkWidget*> knoepfe(GtkDialog* dialog) {
  return kinder(gtk_widget_get_parent(gtk_dialog_get_widget_for_response(dialog, ersterKnopf)));
}

// The responses a key press gives in the shown alert, once GTK is done with
// it: a pressed button answers after its press animation.
std::vector<int> antwortenAufTaste(const Hinweis& hinweis, guint wert, GdkModifierType zusatz = {}) {
  GtkDialog* dialog = dialogBauen(hinweis);
  gtk_widget_show(GTK_WIDGET(dialog));
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

}  // namespace

TEST(Dialoge, ErsterKnopfStehtRechtsIstDieVorgabeUndTastenAntwortenNachDenRegeln) {
  ASSERT_TRUE(gtkBereit());
  GtkDialog* dialog = dialogBauen(frage);
  std::vector<std::string> reihe;
  for (GtkWidget* k : knoepfe(dialog)) {
    reihe.push_back(gtk_button_get_label(GTK_BUTTON(k)) +
                    std::to_string(gtk_dialog_get_response_for_widget(dialog, k)));
  }
  EXPECT_EQ(reihe, (std::vector<std::string>{"Später1002", "Abbrechen1001", "Entsperren1000"}));
  EXPECT_TRUE(gtk_widget_has_default(gtk_dialog_get_widget_for_response(dialog, ersterKnopf)));
  ASSERT_NE(dialogKaestchen(dialog), nullptr);
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(dialogKaestchen(dialog))), "Nicht mehr fragen");
  gtk_widget_destroy(GTK_WIDGET(dialog));
  dialog = dialogBauen(ohneVorgabe);
  EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(dialog)), nullptr);
  EXPECT_EQ(dialogKaestchen(dialog), nullptr);
  gtk_widget_destroy(GTK_WIDGET(dialog));

  // Return goes to the default even from the focused check box.
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_Return), std::vector{1000});
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_Escape), std::vector{int{GTK_RESPONSE_DELETE_EVENT}});
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_w, GDK_CONTROL_MASK),
            std::vector{int{GTK_RESPONSE_DELETE_EVENT}});
  EXPECT_EQ(antwortenAufTaste(ohneVorgabe, GDK_KEY_Return), std::vector<int>{});
  EXPECT_EQ(antwortenAufTaste(ersterAufEscape, GDK_KEY_Return), std::vector{1000});
  EXPECT_EQ(knopfFuer(frage, GTK_RESPONSE_DELETE_EVENT), 1001);   // "Abbrechen"
  EXPECT_EQ(knopfFuer(jaNein, GTK_RESPONSE_DELETE_EVENT), 1001);  // the last button
  EXPECT_EQ(knopfFuer(ersterAufEscape, GTK_RESPONSE_DELETE_EVENT), 1000);
  EXPECT_EQ(knopfFuer(jaNein, 1000), 1000);

  const Wahl geschlossen = imDialog(
      [](GtkDialog* d) {
        gtk_toggle_button_set_active(dialogKaestchen(d), TRUE);
        GtkDialoge().alleSchliessen();  // as the app does when it ends
      },
      [] { return GtkDialoge().zeigen(frage); });
  EXPECT_EQ(geschlossen.knopf, 1001);
  EXPECT_TRUE(geschlossen.kaestchen);
}

TEST(PassphraseFeld, AugeZeigtUndVerbirgtOhneFokusUndSchreibstelleZuVerlieren) {
  ASSERT_TRUE(gtkBereit());
  // fokusAnderswo: another widget has the focus before the first click
  for (const auto& [text, klicks, fokusAnderswo] :
       {std::tuple{"", 1, true}, {"geheim", 1, false}, {"geheim", 2, true}}) {
    SCOPED_TRACE(std::string(text) + " " + std::to_string(klicks));
    PassphraseFeld feld;
    GtkWidget* fenster = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* spalte = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    GtkWidget* anderer = gtk_button_new();
    for (GtkWidget* w : {feld.widget(), anderer}) gtk_container_add(GTK_CONTAINER(spalte), w);
    gtk_container_add(GTK_CONTAINER(fenster), spalte);
    gtk_widget_show_all(fenster);
    gtk_entry_set_text(feld.eingabe(), text);
    gtk_editable_select_region(GTK_EDITABLE(feld.eingabe()), 0, 2);
    gtk_widget_grab_focus(fokusAnderswo ? anderer : GTK_WIDGET(feld.eingabe()));
    for (int i = 0;; ++i) {
      const bool sichtbar = i % 2 == 1;
      EXPECT_EQ(gtk_entry_get_visibility(feld.eingabe()), sichtbar);
      const char* symbol = nullptr;
      gtk_image_get_icon_name(GTK_IMAGE(gtk_button_get_image(GTK_BUTTON(feld.auge()))), &symbol, nullptr);
      EXPECT_STREQ(symbol, sichtbar ? "view-conceal-symbolic" : "view-reveal-symbolic");
      EXPECT_STREQ(atk_object_get_description(gtk_widget_get_accessible(feld.auge())),
                   sichtbar ? "Passphrase verbergen" : "Passphrase anzeigen");
      if (i == klicks) break;
      GtkWidget* vorher = gtk_window_get_focus(GTK_WINDOW(fenster));
      EXPECT_EQ(klicken(feld.auge()), vorher);
    }
    // Typing goes on in the entry, at the end, replacing nothing.
    tippen(fenster, "x");
    EXPECT_EQ(feld.passphrase().text(), std::string(text) + "x");
    gtk_widget_destroy(fenster);
  }

  // In the dialog Return takes the entry and Escape drops it.
  for (const auto& [wert, knopf, passphrase] :
       {std::tuple{GDK_KEY_Return, ersterKnopf, "Ä b_1"}, std::tuple{GDK_KEY_Escape, ersterKnopf + 1, ""}}) {
    const Eingabe eingabe = imDialog(
        [wert](GtkDialog* d) {
          EXPECT_TRUE(GTK_IS_ENTRY(gtk_window_get_focus(GTK_WINDOW(d))));
          EXPECT_FALSE(gtk_toggle_button_get_active(dialogKaestchen(d)));
          gtk_toggle_button_set_active(dialogKaestchen(d), TRUE);
          tippen(GTK_WIDGET(d), "Ä b_1");
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
  const std::tuple<double, double, std::optional<Farbe>> proben[] = {
      {17, 4, dunkel},  {32, 4, {}},    {20, 50, hell}, {27, 33, gold},
      {33, 31, dunkel}, {47, 33, gold}, {0.5, 0.5, {}}, {63.5, 63.5, {}}};
  for (const int groesse : {64, 32}) {
    cairo_surface_t* bild = tresorFlaeche(groesse);
    for (const auto& [x, y, farbe] : proben) {
      SCOPED_TRACE(testing::Message() << x << "," << y << " bei " << groesse << " px");
      std::uint32_t wert;  // premultiplied ARGB in native byte order
      std::memcpy(&wert,
                  cairo_image_surface_get_data(bild) +
                      static_cast<int>((64 - y) * groesse / 64) * cairo_image_surface_get_stride(bild) +
                      4 * static_cast<int>(x * groesse / 64),
                  4);
      EXPECT_EQ(wert >> 24, farbe ? 255u : 0u);
      if (!farbe) continue;
      for (const auto& [schub, anteil] : {std::pair{16, farbe->rot}, {8, farbe->gruen}, {0, farbe->blau}})
        EXPECT_NEAR((wert >> schub) & 255, std::lround(anteil * 255), 2);
    }
    cairo_surface_destroy(bild);
  }
  GdkPixbuf* symbol = tresorPixbuf(64);
  ASSERT_NE(symbol, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(symbol), 64);
  g_object_unref(symbol);
}

}  // namespace tw
