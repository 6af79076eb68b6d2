#include "controller/menue.h"

#include "helfer/steuerungswelt.h"
#include "test.h"

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

const std::string kopf = "Taler Wacht 1.7.2_demo (aus) | ", einst = "Einstellungen … ^, (aus) | ",
                  fuss = "- | Symbol ausblenden | Taler Wacht beenden ^q",
                  nichts = "Nichts verbunden (aus) | - | ", offen = "Tresor offen · ",
                  sperren = " (aus) | - | Tresor sperren | - | ",
                  laeuft = "- | Für ChatGPT & Co.: läuft (aus) | ";
const Url seite = *Url::aus("http://127.0.0.1:8858/t/k/");

TEST(Menue, ZeilenTitelUndSymbolJeStand) {
  struct Fall {
    Zustand z;
    bool gemerkt = false, neu = false;
    Skriptfund fund = {};
    std::optional<Skriptfund> entfernen = {};
    std::optional<std::string> autostart = {};  // the file, as read
    std::string titel = "", symbol = "questionmark.bubble", zeilen = "";
  };
  const std::string anmelden = "Adresse für den Chatbot kopieren (aus) | Anhalten | Beim Anmelden starten ";
  const std::vector<Fall> faelle = {
      // Without vault rows, their two separators become one.
      {.entfernen = Skriptfund{},
       .zeilen = nichts + einst + fuss + " | Alles von diesem Computer entfernen … (aus)"},
      {.zeilen = nichts + einst + fuss},
      {.z = {.programmLaeuft = true, .tresor = "offen", .restminuten = 59},
       .fund = buendel,
       .autostart = "ja",
       .titel = " 59 min",
       .symbol = "questionmark.bubble.fill",
       .zeilen = offen + "noch 59 min" + sperren + einst + laeuft + anmelden + "[x] | " + fuss},
      {.z = {.programmLaeuft = true, .tresor = "offen", .restminuten = 125},
       .titel = " 2 h 5 min",
       .symbol = "questionmark.bubble.fill",
       .zeilen = offen + "noch 125 min" + sperren + einst + laeuft + anmelden + "[ ] (aus) | " + fuss},
      {.z = {.tresor = "offen"}, .zeilen = offen + "unbegrenzt" + sperren + einst + fuss},  // not active
      {.z = {.tresor = "zu"},                                                               // no own page yet
       .gemerkt = true,
       .titel = " gesperrt",
       .zeilen = "Tresor zu (aus) | - | Tresor entsperren (aus) | Gemerkte Passphrase vergessen | - | " +
                 einst + fuss},
      {.z = {.eigeneSeiten = {seite}, .tresor = "zu"},
       .titel = " gesperrt",
       .zeilen = "Tresor zu (aus) | - | Tresor entsperren … | - | Einstellungen … ^, | " + fuss},
      {.z = {.claudePorts = {40001, 40002}, .fremdeFassung = "1.6.0"},
       .zeilen =
           "Tresor: keine Antwort (aus) | Claude: verbunden (aus) | Alte Erweiterung läuft (1.6.0) (aus) | "
           "→ in Claude: Einstellungen › Erweiterungen (aus) | - | Neu starten | - | " +
           einst + fuss},
      {.z = {.programmLaeuft = true, .adresse = "https://a.example/x", .tresor = "leer"},
       .neu = true,
       .fund = buendel,
       .autostart = "Ja",
       .titel = " !",
       .zeilen = "Tresor noch nicht eingerichtet (aus) | - | Einrichten … ^, (aus) | " + laeuft +
                 "Neue Adresse — im Chatbot eintragen | Anhalten | Beim Anmelden starten [ ] | " + fuss},
      {.fund = {.abgelehnt = true},
       .zeilen =
           nichts + einst +
           "- | Programm nicht signiert — nicht gestartet (aus) | Für ChatGPT & Co.: angehalten (aus) | "
           "Starten (aus) | Beim Anmelden starten [ ] (aus) | " +
           fuss},
  };
  for (const auto& f : faelle) {
    const Anzeige a = anzeigeBauen({.zustand = f.z,
                                    .passphraseGemerkt = f.gemerkt,
                                    .neueAdresse = f.neu,
                                    .skript = f.fund,
                                    .entfernen = f.entfernen,
                                    .autostart = f.autostart,
                                    .fassung = "1.7.2_demo"});
    EXPECT_EQ(zeilen(a), kopf + f.zeilen);
    EXPECT_EQ(a.titel, f.titel) << f.zeilen;
    EXPECT_EQ(a.symbol, f.symbol) << f.zeilen;
    if (f.entfernen) {
      EXPECT_EQ(a.zeilen.back().aktion, Aktion::zuruecksetzenKlick);
    }
  }
}

}  // namespace
}  // namespace tw
