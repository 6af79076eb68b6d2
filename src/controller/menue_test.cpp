#include "controller/menue.h"

#include <gtest/gtest.h>

#include "helfer/steuerungswelt.h"

namespace tw {
namespace {

// One line per row: the title, "(aus)" when disabled, [x]/[ ] for check
// rows and "^key"; separators as "-".
std::vector<std::string> zeilen(const Anzeige& a) {
  std::vector<std::string> z;
  for (const auto& r : a.zeilen) {
    if (r.trenner) {
      z.push_back("-");
      continue;
    }
    std::string t = r.titel;
    if (r.haken != Haken::keiner) t += r.haken == Haken::an ? " [x]" : " [ ]";
    if (!r.taste.empty()) t += " ^" + r.taste;
    if (!r.aktiv) t += " (aus)";
    z.push_back(t);
  }
  return z;
}

Anzeige bauen(const Zustand& z, bool gemerkt = false, bool neu = false, Skriptfund fund = {},
              std::optional<Skriptfund> entfernen = std::nullopt) {
  return anzeigeBauen({.zustand = z,
                       .passphraseGemerkt = gemerkt,
                       .neueAdresse = neu,
                       .skript = fund,
                       .entfernen = entfernen,
                       .autostart = std::nullopt,
                       .fassung = "1.7.2_demo"});
}

const Skriptfund gefunden{.skript = "/b.app/Contents/Resources/starten"};

// Without vault rows, their two separators become one.
TEST(Menue, VorgabenVorDemErstenStand) {
  const Anzeige a = bauen(Zustand{}, false, false, {}, Skriptfund{});
  EXPECT_EQ(a.symbol, "questionmark.bubble");
  EXPECT_EQ(a.titel, "");
  EXPECT_EQ(zeilen(a), (std::vector<std::string>{"Taler Wacht 1.7.2_demo (aus)", "Nichts verbunden (aus)",
                                                 "-", "Einstellungen … ^, (aus)", "-", "Symbol ausblenden",
                                                 "Taler Wacht beenden ^q",
                                                 "Alles von diesem Computer entfernen … (aus)"}));
  EXPECT_EQ(a.zeilen.back().aktion, Aktion::zuruecksetzenKlick);
  EXPECT_EQ(zeilen(bauen(Zustand{})).size(), 7u);  // outside the bundle: no removal row
}

TEST(Menue, OffenerTresorMitRestzeit) {
  Zustand z = laufend("offen");
  z.restminuten = 59;
  Anzeige a = bauen(z, false, false, gefunden);
  EXPECT_EQ(a.titel, " 59 min");
  EXPECT_EQ(a.symbol, "questionmark.bubble.fill");
  EXPECT_EQ(zeilen(a)[1], "Tresor offen · noch 59 min (aus)");
  EXPECT_EQ(zeilen(a)[3], "Tresor sperren");
  z.restminuten = 125;
  a = bauen(z);
  EXPECT_EQ(a.titel, " 2 h 5 min");
  EXPECT_EQ(zeilen(a)[1], "Tresor offen · noch 125 min (aus)");

  Zustand ohneLimit;
  ohneLimit.tresor = "offen";
  a = bauen(ohneLimit);
  EXPECT_EQ(a.titel, "");
  EXPECT_EQ(a.symbol, "questionmark.bubble");  // not active
  EXPECT_EQ(zeilen(a)[1], "Tresor offen · unbegrenzt (aus)");
}

TEST(Menue, GesperrtMitGemerkterPassphrase) {
  Zustand z = laufend("zu");
  Anzeige a = bauen(z, true, false, gefunden);
  EXPECT_EQ(a.titel, " gesperrt");
  EXPECT_EQ(zeilen(a)[3], "Tresor entsperren (aus)");  // no own page yet
  EXPECT_EQ(zeilen(a)[4], "Gemerkte Passphrase vergessen");
  z.eigeneSeiten = {*Url::aus("http://127.0.0.1:8858/t/k/")};
  EXPECT_EQ(zeilen(bauen(z, true))[3], "Tresor entsperren");
  EXPECT_EQ(zeilen(bauen(z, false))[3], "Tresor entsperren …");
  EXPECT_EQ(zeilen(bauen(z, false))[5], "Einstellungen … ^,");
}

TEST(Menue, KeineAntwortWaehrendEinServerLaeuft) {
  Zustand z;
  z.claudePorts = {40001, 40002};
  z.fremdeFassung = "1.6.0";
  const auto r = zeilen(bauen(z));
  EXPECT_EQ(r, (std::vector<std::string>{"Taler Wacht 1.7.2_demo (aus)", "Tresor: keine Antwort (aus)",
                                         "Claude: verbunden (aus)", "Alte Erweiterung läuft (1.6.0) (aus)",
                                         "→ in Claude: Einstellungen › Erweiterungen (aus)", "-",
                                         "Neu starten", "-", "Einstellungen … ^, (aus)", "-",
                                         "Symbol ausblenden", "Taler Wacht beenden ^q"}));
}

TEST(Menue, AdresseNeuLeerUndAngehalten) {
  Zustand z = laufend("leer");
  z.adresse = "https://a.example/x";
  Anzeige a = bauen(z, false, true, gefunden);
  EXPECT_EQ(a.titel, " !");
  EXPECT_EQ(zeilen(a), (std::vector<std::string>{
                           "Taler Wacht 1.7.2_demo (aus)", "Tresor noch nicht eingerichtet (aus)", "-",
                           "Einrichten … ^, (aus)", "-", "Für ChatGPT & Co.: läuft (aus)",
                           "Neue Adresse — im Chatbot eintragen", "Anhalten", "Beim Anmelden starten [ ]",
                           "-", "Symbol ausblenden", "Taler Wacht beenden ^q"}));
  z.adresse.clear();
  EXPECT_EQ(zeilen(bauen(z, false, false, gefunden))[6], "Adresse für den Chatbot kopieren (aus)");

  // Without a script and nothing refused, the whole block goes.
  EXPECT_EQ(zeilen(bauen(Zustand{})).size(), 7u);
}

TEST(Menue, AbgelehntesSkript) {
  const auto r = zeilen(bauen(Zustand{}, false, false, Skriptfund{.abgelehnt = true}));
  EXPECT_EQ(std::vector<std::string>(r.begin() + 4, r.begin() + 9),
            (std::vector<std::string>{"-", "Programm nicht signiert — nicht gestartet (aus)",
                                      "Für ChatGPT & Co.: angehalten (aus)", "Starten (aus)",
                                      "Beim Anmelden starten [ ] (aus)"}));
}

TEST(Menue, HakenNachDerAutostartDatei) {
  for (const auto& [inhalt, an] : std::vector<std::pair<std::string, bool>>{
           {"ja\n", true}, {" ja ", true}, {"Ja", false}, {"ja bitte", false}, {"", false}}) {
    Steuerungswelt w;
    w.fund = gefunden;
    dateiSchreiben(w.dienste.konfigOrdner / "autostart", inhalt);
    w.starten();
    EXPECT_EQ(w.anzeige.letzte().zeilen[7].haken, an ? Haken::an : Haken::aus) << inhalt;
  }
  Steuerungswelt ohneDatei;
  ohneDatei.fund = gefunden;
  ohneDatei.starten();
  EXPECT_EQ(ohneDatei.anzeige.letzte().zeilen[7].haken, Haken::aus);
}

}  // namespace
}  // namespace tw
