#include "app/dateien.h"
#include "controller/steuerung.h"
#include "helfer/steuerungswelt.h"
#include "test.h"

namespace tw {
namespace {

using Texte = std::vector<std::string>;

const std::string ausDemBuendel =
    "Zurück kommt es, wenn du Taler Wacht wieder öffnest, etwa über die Programmsuche.";
const std::string ausClaude =
    "Zurück kommt es, wenn Claude Desktop die Erweiterung neu startet — Claude beenden und wieder öffnen "
    "genügt.";

TEST(Adresse, NeuBisZumKopieren) {
  Steuerungswelt w;
  Zustand z = laufend("zu");
  z.adresse = "A";
  w.runde(z);
  const auto datei = w.dienste.zustandOrdner / "menue.adresse";
  const auto titel = [&] { return w.anzeige.letzte().titel; };
  EXPECT_EQ(titel(), " gesperrt !");
  w.steuerung->ausfuehren(Aktion::adresseKopieren);
  EXPECT_EQ(std::tuple(w.ablage.texte, lesen(datei), rechte(datei)), std::tuple(Texte{"A"}, "A", 0600u));
  EXPECT_EQ(titel(), " gesperrt");  // at once, before the next refresh
  dateiSchreiben(datei, "A\n");
  w.runde(z);
  EXPECT_EQ(titel(), " gesperrt");
  z.adresse = "B";
  z.programmLaeuft = false;
  w.runde(z);
  EXPECT_EQ(titel().find('!'), std::string::npos);  // stopped: nothing is new
}

TEST(Ausblenden, FragtBisNichtMehrFragen) {
  for (const bool offen : {true, false}) {
    Steuerungswelt w;
    w.dienste.imBuendel = offen;  // both texts of the way back, too
    w.runde(laufend(offen ? "offen" : "zu"));
    w.dialoge.antworten = {Wahl{ersterKnopf + 1}, Wahl{ersterKnopf, false}, Wahl{ersterKnopf, true}};
    for (int i = 0; i < 4; ++i) w.steuerung->ausfuehren(Aktion::ausblenden);
    EXPECT_EQ(w.dialoge.hinweise.at(0),
              (Hinweis{.nachricht = "Nur das Symbol ausblenden?",
                       .text = offen ? "Der Tresor bleibt offen, alles läuft weiter — nur das Symbol "
                                       "verschwindet. " +
                                           ausDemBuendel
                                     : "Alles läuft weiter, nur das Symbol verschwindet. " + ausClaude,
                       .knoepfe = {"Ausblenden", "Abbrechen"},
                       .kaestchen = "Nicht mehr fragen"}));
    // Three questions, the fourth time none; a quit after each but "Abbrechen".
    EXPECT_EQ(std::pair(w.dialoge.hinweise.size(), w.anwendung.anfragen), std::pair(3ul, 3));
    EXPECT_EQ(lesen(w.dienste.konfigOrdner / "symbol-hinweis"), "gesehen");
  }
}

TEST(Beenden, NenntJedeFolgeOderEndetSofort) {
  for (const bool mitProgramm : {false, true}) {
    Steuerungswelt w;
    Zustand z = mitProgramm ? laufend("offen") : Zustand{};
    z.tresor = "offen";
    z.claudePorts = {40001, 40002};
    w.runde(z);
    w.dialoge.antworten = {Wahl{mitProgramm ? ersterKnopf : ersterKnopf + 1}};
    w.steuerung->ausfuehren(Aktion::beendenKlick);
    w.ablaufen();
    EXPECT_EQ(w.dialoge.hinweise.at(0),
              (Hinweis{.nachricht = "Taler Wacht beenden?",
                       .text = std::string("Der Tresor wird gesperrt. ") +
                               (mitProgramm ? "Das Programm für ChatGPT & Co. wird angehalten. " : "") +
                               "Claude ist verbunden (2) und kann bis zum nächsten Entsperren keine "
                               "Bankdaten abrufen. " +
                               ausClaude,
                       .knoepfe = {"Beenden", "Abbrechen"}}));
    EXPECT_EQ(w.anwendung.anfragen, mitProgramm ? 1 : 0);
  }
  // Nothing follows from quitting: no question. Clicked while the unlock dialog is open, the quit closes
  // it and runs to its end; the dialog's answer and later clicks no longer act.
  Steuerungswelt w;
  w.runde(Zustand{});
  w.dialoge.eingaben = {{ersterKnopf, true, "geheim"}};
  w.dialoge.waehrend = [&] { w.steuerung->ausfuehren(Aktion::beendenKlick); };
  w.steuerung->ausfuehren(Aktion::tresorEntsperren);
  w.steuerung->ausfuehren(Aktion::ausblenden);
  w.steuerung->ausfuehren(Aktion::tresorSperren);
  w.ablaufen();
  EXPECT_EQ(std::pair(w.dialoge.geschlossen, w.bericht()), std::pair(1, std::string("ende 1")));
  // The collection and the quit's locks ran in the background: no unlock, no menu lock.
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten,
            (std::vector{Dringlichkeit::hilfsarbeit, Dringlichkeit::nutzer}));
}

// Without a script, neither acts. With one, only "Alles entfernen" removes, after the app forgot the
// passphrase; the autostart switch follows the file and waits for the script.
TEST(Skriptaktionen, EntfernenUndAutostart) {
  Steuerungswelt w;
  w.starten().ausfuehren(Aktion::zuruecksetzenKlick);
  w.steuerung->ausfuehren(Aktion::autostartUmschalten);
  EXPECT_EQ(w.bericht(), "");

  w.fund = buendel;
  w.dialoge.antworten = {Wahl{ersterKnopf}, Wahl{ersterKnopf + 1}};
  w.steuerung->ausfuehren(Aktion::zuruecksetzenKlick);
  EXPECT_TRUE(w.skripte.empty());
  // Escape and Return keep everything.
  Hinweis frage = w.dialoge.hinweise.at(0);
  EXPECT_NE(frage.text.find("keinen Weg zurück"), std::string::npos);
  frage.text.clear();
  EXPECT_EQ(frage, (Hinweis{.nachricht = "Alles von diesem Computer entfernen?",
                            .knoepfe = {"Abbrechen", "Alles entfernen"},
                            .kritisch = true,
                            .ersterAufEscape = true,
                            .ohneVorgabe = true}));
  // A keyring that keeps the passphrase is named before everything else goes.
  w.schluesselbund.loeschenStatus = errSecUserCanceled;
  w.steuerung->ausfuehren(Aktion::zuruecksetzenKlick);
  w.ablaufen();
  const std::string& text = w.dialoge.hinweise.back().text;
  EXPECT_EQ(text.substr(text.rfind("\n\n")), "\n\nAlles andere wird jetzt entfernt.");
  EXPECT_EQ(w.skripte, Texte{"--zuruecksetzen"});

  const auto gezeigt = w.anzeige.gezeigt.size();
  w.steuerung->ausfuehren(Aktion::autostartUmschalten);
  dateiSchreiben(w.dienste.konfigOrdner / "autostart", "ja\n");
  w.steuerung->ausfuehren(Aktion::autostartUmschalten);
  EXPECT_EQ(w.skripte, (Texte{"--zuruecksetzen", "--autostart-an wartet", "--autostart-aus wartet"}));
  EXPECT_EQ(w.anzeige.gezeigt.size(), gezeigt + 2);  // redrawn after each, with the file's check
  EXPECT_EQ(w.anzeige.letzte().zeilen[7].haken, Haken::an);
}

// While one dialog is open, whatever would open another brings it to the front instead, and its
// answer acts on the state of the moment it is given.
TEST(Dialoge, EinerZurZeit) {
  // Aktion::keine stands for closing the window, whose notice is a dialog too.
  for (const Aktion zweite : {Aktion::tresorEntsperren, Aktion::ausblenden, Aktion::beendenKlick,
                              Aktion::zuruecksetzenKlick, Aktion::keine}) {
    Steuerungswelt w;
    w.fund = buendel;
    w.schluesselbund.login = "gemerkt";
    w.starten().fenster().zeigen(*Url::aus("http://127.0.0.1:8858/"));
    w.dialoge.eingaben = {{ersterKnopf, true, "falsch"}};
    // Meanwhile the vault was opened elsewhere, and a refresh shows it.
    w.dialoge.waehrend = [&] {
      w.runde(laufend("offen"));
      zweite == Aktion::keine ? w.web.schliessen() : w.steuerung->ausfuehren(zweite);
    };
    w.steuerung->ausfuehren(Aktion::tresorEntsperren);
    w.ablaufen();
    // One dialog, fetched to the front; the refused passphrase was the typed one: the remembered one
    // stays, and nobody asks again.
    EXPECT_EQ(std::tuple(w.dialoge.gefragt.size() + w.dialoge.hinweise.size(), w.besitzer.gruende.size(),
                         w.dialoge.vorgeholt, w.schluesselbund.login),
              std::tuple(1u, 0u, 1, "gemerkt"))
        << static_cast<int>(zweite);
    EXPECT_EQ(w.web.schritte.back() == "bleibt", zweite == Aktion::keine);
  }

  // The owner's confirmation counts as a dialog too, until it is answered (refused).
  Steuerungswelt w;
  w.schluesselbund.login = "gemerkt";
  w.runde(laufend("zu"));
  w.steuerung->ausfuehren(Aktion::tresorEntsperren);
  w.steuerung->ausfuehren(Aktion::ausblenden);
  w.ablaufen();
  w.steuerung->ausfuehren(Aktion::ausblenden);
  EXPECT_EQ(w.dialoge.hinweise.size(), 1u);
}

}  // namespace
}  // namespace tw
