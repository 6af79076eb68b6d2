#include "platform/linux/gtk/passphrasefeld.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/gtk/gtk_dialoge.h"
#include "platform/linux/gtk/gtk_testhilfe.h"

namespace tw {

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
    for (GtkWidget* w : {feld.widget(), anderer}) gtk_container_add(GTK_CONTAINER(spalte), w);
    gtk_container_add(GTK_CONTAINER(fenster), spalte);
    gtk_widget_show_all(fenster);
    gtk_entry_set_text(feld.eingabe(), fall.text.c_str());
    gtk_editable_select_region(GTK_EDITABLE(feld.eingabe()), 0, 2);
    gtk_widget_grab_focus(fall.fokusAnderswo ? anderer : GTK_WIDGET(feld.eingabe()));
    for (int i = 0;; ++i) {
      const bool sichtbar = i % 2 == 1;
      EXPECT_EQ(gtk_entry_get_visibility(feld.eingabe()), sichtbar);
      const char* symbol = nullptr;
      gtk_image_get_icon_name(GTK_IMAGE(gtk_button_get_image(GTK_BUTTON(feld.auge()))), &symbol, nullptr);
      EXPECT_STREQ(symbol, sichtbar ? "view-conceal-symbolic" : "view-reveal-symbolic");
      EXPECT_STREQ(atk_object_get_description(gtk_widget_get_accessible(feld.auge())),
                   sichtbar ? "Passphrase verbergen" : "Passphrase anzeigen");
      if (i == fall.klicks) break;
      GtkWidget* vorher = gtk_window_get_focus(GTK_WINDOW(fenster));
      EXPECT_EQ(klicken(feld.auge()), vorher);
    }
    // Typing goes on in the entry, at the end, replacing nothing.
    tippen(fenster, "x");
    EXPECT_EQ(feld.passphrase().text(), fall.text + "x");
    gtk_widget_destroy(fenster);
  }
}

TEST(PassphraseFeld, DialogNimmtEingabeMitReturnUndVerwirftSieBeiEscape) {
  ASSERT_TRUE(gtkBereit());
  for (const auto& [wert, knopf, passphrase] :
       {std::tuple{GDK_KEY_Return, ersterKnopf, "Ä b_1"}, std::tuple{GDK_KEY_Escape, ersterKnopf + 1, ""}}) {
    SCOPED_TRACE(knopf);
    const Eingabe eingabe = imDialog(
        [wert](GtkDialog* d) {
          EXPECT_TRUE(GTK_IS_ENTRY(gtk_window_get_focus(GTK_WINDOW(d))));
          EXPECT_FALSE(gtk_toggle_button_get_active(dialogKaestchen(d)));
          gtk_toggle_button_set_active(dialogKaestchen(d), TRUE);
          tippen(GTK_WIDGET(d), "Ä b_1");
          taste(GTK_WIDGET(d), wert);
        },
        [] {
          return GtkDialoge().passphraseFragen({.knoepfe = {"Entsperren", "Abbrechen"},
                                                .tresorBild = true,
                                                .kaestchen = "Im Schlüsselbund merken"});
        });
    EXPECT_EQ(eingabe.knopf, knopf);
    EXPECT_TRUE(eingabe.kaestchen);
    EXPECT_EQ(eingabe.passphrase.text(), passphrase);
  }
}

}  // namespace tw
