#include "controller/menue.h"

#include <gtest/gtest.h>

#include "helfer/steuerungswelt.h"

// The table's snapshots name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tw {
namespace {

// The menu as one text: rows split by " | ", "(aus)" when disabled, [x]/[ ]
// for check rows and "^key"; separators as "-".
std::string zeilen(const Anzeige& a) {
  std::string z;
  for (const auto& r : a.zeilen) {
    z += z.empty() ? "" : " | ";
    if (r.trenner) {
      z += "-";
      continue;
    }
    z += r.titel;
    if (r.haken != Haken::keiner) z += r.haken == Haken::an ? " [x]" : " [ ]";
    if (!r.taste.empty()) z += " ^" + r.taste;
    if (!r.aktiv) z += " (aus)";
  }
  return z;
}

const std::string kopf = "Taler Wacht 1.7.2_demo (aus) | ";
const std::string fuss = "- | Symbol ausblenden | Taler Wacht beenden ^q";
const Url seite = *Url::aus("http://127.0.0.1:8858/t/k/");

TEST(Menue, ZeilenTitelUndSymbolJeStand) {
  struct Fall {
    Zustand z;
    bool gemerkt = false, neu = false;
    Skriptfund fund = {};
    std::optional<Skriptfund> entfernen = {};
    std::string titel = "", symbol = "questionmark.bubble", zeilen = "";
  };
  const std::vector<Fall> faelle = {
      // Without vault rows, their two separators become one.
      {.z = {},
       .entfernen = Skriptfund{},
       .zeilen = "Nichts verbunden (aus) | - | Einstellungen … ^, (aus) | " + fuss +
                 " | Alles von diesem Computer entfernen … (aus)"},
      {.z = {}, .zeilen = "Nichts verbunden (aus) | - | Einstellungen … ^, (aus) | " + fuss},
      {.z = {.programmLaeuft = true, .tresor = "offen", .restminuten = 59},
       .fund = buendel,
       .titel = " 59 min",
       .symbol = "questionmark.bubble.fill",
       .zeilen = "Tresor offen · noch 59 min (aus) | - | Tresor sperren | - | Einstellungen … ^, (aus) | - | "
                 "Für ChatGPT & Co.: läuft (aus) | Adresse für den Chatbot kopieren (aus) | Anhalten | "
                 "Beim Anmelden starten [ ] | " +
                 fuss},
      {.z = {.programmLaeuft = true, .tresor = "offen", .restminuten = 125},
       .titel = " 2 h 5 min",
       .symbol = "questionmark.bubble.fill",
       .zeilen =
           "Tresor offen · noch 125 min (aus) | - | Tresor sperren | - | Einstellungen … ^, (aus) | - | "
           "Für ChatGPT & Co.: läuft (aus) | Adresse für den Chatbot kopieren (aus) | Anhalten | "
           "Beim Anmelden starten [ ] (aus) | " +
           fuss},
      {.z = {.tresor = "offen"},  // not active
       .zeilen =
           "Tresor offen · unbegrenzt (aus) | - | Tresor sperren | - | Einstellungen … ^, (aus) | " + fuss},
      {.z = {.tresor = "zu"},  // no own page yet
       .gemerkt = true,
       .titel = " gesperrt",
       .zeilen = "Tresor zu (aus) | - | Tresor entsperren (aus) | Gemerkte Passphrase vergessen | - | "
                 "Einstellungen … ^, (aus) | " +
                 fuss},
      {.z = {.eigeneSeiten = {seite}, .tresor = "zu"},
       .titel = " gesperrt",
       .zeilen = "Tresor zu (aus) | - | Tresor entsperren … | - | Einstellungen … ^, | " + fuss},
      {.z = {.claudePorts = {40001, 40002}, .fremdeFassung = "1.6.0"},
       .zeilen =
           "Tresor: keine Antwort (aus) | Claude: verbunden (aus) | Alte Erweiterung läuft (1.6.0) (aus) | "
           "→ in Claude: Einstellungen › Erweiterungen (aus) | - | Neu starten | - | "
           "Einstellungen … ^, (aus) | " +
           fuss},
      {.z = {.programmLaeuft = true, .adresse = "https://a.example/x", .tresor = "leer"},
       .neu = true,
       .fund = buendel,
       .titel = " !",
       .zeilen = "Tresor noch nicht eingerichtet (aus) | - | Einrichten … ^, (aus) | - | "
                 "Für ChatGPT & Co.: läuft (aus) | Neue Adresse — im Chatbot eintragen | Anhalten | "
                 "Beim Anmelden starten [ ] | " +
                 fuss},
      {.z = {},
       .fund = {.abgelehnt = true},
       .zeilen = "Nichts verbunden (aus) | - | Einstellungen … ^, (aus) | - | "
                 "Programm nicht signiert — nicht gestartet (aus) | Für ChatGPT & Co.: angehalten (aus) | "
                 "Starten (aus) | Beim Anmelden starten [ ] (aus) | " +
                 fuss},
  };
  for (const auto& f : faelle) {
    const Anzeige a = anzeigeBauen({.zustand = f.z,
                                    .passphraseGemerkt = f.gemerkt,
                                    .neueAdresse = f.neu,
                                    .skript = f.fund,
                                    .entfernen = f.entfernen,
                                    .autostart = std::nullopt,
                                    .fassung = "1.7.2_demo"});
    EXPECT_EQ(zeilen(a), kopf + f.zeilen);
    EXPECT_EQ(a.titel, f.titel) << f.zeilen;
    EXPECT_EQ(a.symbol, f.symbol) << f.zeilen;
    if (f.entfernen) {
      EXPECT_EQ(a.zeilen.back().aktion, Aktion::zuruecksetzenKlick);
    }
  }
}

TEST(Menue, HakenNachDerAutostartDatei) {
  for (const auto& [inhalt, an] : std::vector<std::pair<std::optional<std::string>, bool>>{
           {"ja\n", true}, {" ja ", true}, {"Ja", false}, {"ja bitte", false}, {"", false}, {{}, false}}) {
    Steuerungswelt w;
    w.fund = buendel;
    if (inhalt) dateiSchreiben(w.dienste.konfigOrdner / "autostart", *inhalt);
    w.starten();
    EXPECT_EQ(w.anzeige.letzte().zeilen[7].haken, an ? Haken::an : Haken::aus) << inhalt.value_or("-");
  }
}

}  // namespace
}  // namespace tw
