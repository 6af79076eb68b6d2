#include "platform/linux/gtk/appindikator_anzeige.h"

#include <optional>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/gtk_testhilfe.h"
#include "platform/linux/gtk/leistenpruefung.h"
#include "test.h"

namespace tw {
namespace {

Menuezeile zeile(std::string titel, Aktion aktion = Aktion::keine, bool aktiv = true,
                 Haken haken = Haken::keiner, std::string taste = "") {
  return {.titel = titel, .aktion = aktion, .taste = taste, .aktiv = aktiv, .haken = haken};
}

const Anzeige vorher{
    "questionmark.bubble",
    "",
    {zeile("Tresor zu", Aktion::keine, false), trennlinie(), zeile("Starten", Aktion::starten),
     zeile("Seite öffnen", Aktion::seiteOeffnen), trennlinie(),
     zeile("Bei der Anmeldung starten", Aktion::autostartUmschalten, true, Haken::aus),
     zeile("Beenden", Aktion::beendenKlick, true, Haken::keiner, "q")}};
// Changes rows in place, inserts "Anhalten" in the middle and drops "Seite öffnen".
const Anzeige nachher{
    "questionmark.bubble.fill",
    "59 min",
    {zeile("Tresor offen · noch 59 min", Aktion::keine, false), trennlinie(),
     zeile("Starten", Aktion::starten, false), zeile("Anhalten", Aktion::anhalten), trennlinie(),
     zeile("Bei der Anmeldung starten", Aktion::autostartUmschalten, true, Haken::an, ","),
     zeile("Beenden", Aktion::beendenKlick, true, Haken::keiner, "q")}};

// The row as the menu shows it; the action cannot be seen and is taken from `soll`.
Menuezeile gezeigt(GtkWidget* widget, const Menuezeile& soll) {
  if (GTK_IS_SEPARATOR_MENU_ITEM(widget)) return trennlinie();
  guint taste = 0;
  GdkModifierType zusatz{};
  gtk_accel_label_get_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(widget))), &taste, &zusatz);
  char zeichen[8] = {};
  if (zusatz == GDK_CONTROL_MASK) g_unichar_to_utf8(gdk_keyval_to_unicode(taste), zeichen);
  const Haken haken = !GTK_IS_CHECK_MENU_ITEM(widget)                               ? Haken::keiner
                      : gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(widget)) ? Haken::an
                                                                                    : Haken::aus;
  return zeile(gtk_menu_item_get_label(GTK_MENU_ITEM(widget)), soll.aktion, gtk_widget_get_sensitive(widget),
               haken, zeichen);
}

}  // namespace

TEST(Statusanzeige, MenueBleibtDasselbeMeldetKlicksUndSagtWennDieLeisteFehlt) {
  eigenerBus();  // no tray host on it yet
  ASSERT_TRUE(gtkBereit());
  std::optional<ProtokollMitschnitt> mitschnitt(std::in_place);
  AppindikatorAnzeige anzeige(TW_SYMBOLE);
  const auto log = mitschnitt->zeilen();
  EXPECT_TRUE(log.size() == 1 && log[0].find("(StatusNotifierHost)") != std::string::npos &&
              log[0].find("„AppIndicator and KStatusNotifierItem Support“") != std::string::npos);
  std::vector<Aktion> klicks;
  anzeige.beiKlick([&](Aktion aktion) { klicks.push_back(aktion); });
  anzeige.zeigen(vorher);
  const auto alt = kinder(GTK_WIDGET(anzeige.menue()));
  anzeige.zeigen(nachher);  // also ticks the check box, which is no click
  const auto neu = kinder(GTK_WIDGET(anzeige.menue()));
  ASSERT_EQ(neu.size(), nachher.zeilen.size());
  for (std::size_t i = 0; i < neu.size(); ++i) {
    EXPECT_EQ(neu[i] == alt[i], i != 3) << i;  // only "Anhalten" is a new row
    EXPECT_EQ(gezeigt(neu[i], nachher.zeilen[i]), nachher.zeilen[i]) << i;
  }
  abarbeiten();
  EXPECT_TRUE(klicks.empty());

  gtk_menu_item_activate(GTK_MENU_ITEM(neu[6]));
  gtk_menu_item_activate(GTK_MENU_ITEM(neu[5]));
  EXPECT_TRUE(klicks.empty());  // posted, not yet run
  abarbeiten();
  EXPECT_EQ(klicks, (std::vector{Aktion::beendenKlick, Aktion::autostartUmschalten}));
  // The controller did not change the setting: the same rows put the tick back.
  anzeige.zeigen(nachher);
  abarbeiten();
  EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(neu[5])));
  EXPECT_EQ(klicks.size(), 2u);

  // The tray icons load from the folder the indicator is pointed at.
  GtkIconTheme* thema = gtk_icon_theme_new();
  gtk_icon_theme_append_search_path(thema, TW_SYMBOLE);
  for (const char* name : {"taler-wacht-frage-symbolic", "taler-wacht-frage-voll-symbolic"}) {
    g_autoptr(GdkPixbuf) bild = gtk_icon_theme_load_icon(thema, name, 16, GtkIconLookupFlags{}, nullptr);
    EXPECT_NE(bild, nullptr) << name;
  }
  g_object_unref(thema);

  // With a tray host there is nothing to say.
  Kindprozess leiste{{{TW_LEISTE}}};
  ASSERT_TRUE(bisZu(10s, [] { return leistePruefen() == Leiste::da; })) << leiste.fehler();
  mitschnitt.emplace();
  AppindikatorAnzeige mitLeiste(TW_SYMBOLE);
  EXPECT_TRUE(mitschnitt->zeilen().empty());
}

}  // namespace tw
