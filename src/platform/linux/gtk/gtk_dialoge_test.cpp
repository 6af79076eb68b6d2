#include "platform/linux/gtk/gtk_dialoge.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/linux/gtk/gtk_testhilfe.h"

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

std::vector<GtkWidget*> knoepfe(GtkDialog* dialog) {
  GtkWidget* erster = gtk_dialog_get_widget_for_response(dialog, ersterKnopf);
  GList* liste = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(erster)));
  std::vector<GtkWidget*> widgets;
  for (GList* l = liste; l; l = l->next) widgets.push_back(GTK_WIDGET(l->data));
  g_list_free(liste);
  return widgets;
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

Wahl zeigenUnd(const Hinweis& hinweis, void (*handlung)(GtkDialog*)) {
  return imDialog(handlung, [&] { return GtkDialoge().zeigen(hinweis); });
}

}  // namespace

TEST(Dialoge, ErsterKnopfStehtRechtsUndIstDieVorgabe) {
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

  dialog = dialogBauen(ersterAufEscape);
  EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(dialog)), nullptr);
  EXPECT_EQ(dialogKaestchen(dialog), nullptr);
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

TEST(Dialoge, TastenUndSchliessenAntwortenNachDenRegeln) {
  ASSERT_TRUE(gtkBereit());
  // Return goes to the default even from the focused check box.
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_Return), std::vector{1000});
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_Escape), std::vector{int{GTK_RESPONSE_DELETE_EVENT}});
  EXPECT_EQ(antwortenAufTaste(frage, GDK_KEY_w, GDK_CONTROL_MASK),
            std::vector{int{GTK_RESPONSE_DELETE_EVENT}});
  EXPECT_EQ(antwortenAufTaste(ersterAufEscape, GDK_KEY_Return), std::vector<int>{});
  EXPECT_EQ(knopfFuer(frage, GTK_RESPONSE_DELETE_EVENT), 1001);   // "Abbrechen"
  EXPECT_EQ(knopfFuer(jaNein, GTK_RESPONSE_DELETE_EVENT), 1001);  // the last button
  EXPECT_EQ(knopfFuer(ersterAufEscape, GTK_RESPONSE_DELETE_EVENT), 1000);

  const Wahl geschlossen = zeigenUnd(frage, [](GtkDialog* d) {
    gtk_toggle_button_set_active(dialogKaestchen(d), TRUE);
    gtk_dialog_response(d, GTK_RESPONSE_DELETE_EVENT);
  });
  EXPECT_EQ(geschlossen.knopf, 1001);
  EXPECT_TRUE(geschlossen.kaestchen);
  const auto schliessen = [](GtkDialog* d) { gtk_dialog_response(d, GTK_RESPONSE_DELETE_EVENT); };
  EXPECT_EQ(zeigenUnd(ersterAufEscape, schliessen).knopf, 1000);
  EXPECT_EQ(zeigenUnd(jaNein, [](GtkDialog* d) { gtk_dialog_response(d, 1000); }).knopf, 1000);
}

}  // namespace tw
