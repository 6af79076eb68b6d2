#include <gtest/gtest.h>

#include "app/dateien.h"
#include "controller/steuerung.h"
#include "helfer/steuerungswelt.h"

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
  EXPECT_TRUE(w.steuerung->neueAdresse());  // no file yet
  EXPECT_EQ(w.anzeige.letzte().titel, " gesperrt !");

  w.steuerung->adresseKopieren();
  EXPECT_EQ(w.ablage.texte, Texte{"A"});
  EXPECT_EQ(lesen(w.dienste.zustandOrdner / "menue.adresse"), "A");
  EXPECT_EQ(rechte(w.dienste.zustandOrdner / "menue.adresse"), 0600u);
  EXPECT_EQ(w.anzeige.letzte().titel, " gesperrt");  // at once, before the next refresh

  dateiSchreiben(w.dienste.zustandOrdner / "menue.adresse", "A\n");
  EXPECT_FALSE(w.steuerung->neueAdresse());
  z.adresse = "B";
  z.programmLaeuft = false;
  w.runde(z);
  EXPECT_FALSE(w.steuerung->neueAdresse());  // stopped: nothing is new
}

TEST(Ausblenden, FragtBisNichtMehrFragen) {
  for (const bool offen : {true, false}) {
    Steuerungswelt w;
    w.dienste.imBuendel = offen;  // both texts of the way back, too
    w.runde(laufend(offen ? "offen" : "zu"));
    w.dialoge.antworten = {Wahl{ersterKnopf + 1}, Wahl{ersterKnopf, false}, Wahl{ersterKnopf, true}};
    for (int i = 0; i < 4; ++i) w.steuerung->ausblenden();
    EXPECT_EQ(w.dialoge.hinweise.size(), 3u);  // the fourth time, no question
    EXPECT_EQ(w.dialoge.hinweise[0],
              (Hinweis{.nachricht = "Nur das Symbol ausblenden?",
                       .text = offen ? "Der Tresor bleibt offen, alles läuft weiter — nur das Symbol "
                                       "verschwindet. " +
                                           ausDemBuendel
                                     : "Alles läuft weiter, nur das Symbol verschwindet. " + ausClaude,
                       .knoepfe = {"Ausblenden", "Abbrechen"},
                       .kaestchen = "Nicht mehr fragen"}));
    EXPECT_EQ(w.anwendung.anfragen, 3);  // not on "Abbrechen"
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
    w.steuerung->beendenKlick();
    EXPECT_EQ(w.dialoge.hinweise.at(0),
              (Hinweis{.nachricht = "Taler Wacht beenden?",
                       .text = std::string("Der Tresor wird gesperrt. ") +
                               (mitProgramm ? "Das Programm für ChatGPT & Co. wird angehalten. " : "") +
                               "Claude ist verbunden (2) und kann bis zum nächsten Entsperren keine "
                               "Bankdaten abrufen. " +
                               ausClaude,
                       .knoepfe = {"Beenden", "Abbrechen"}}));
    w.ablaufen();
    EXPECT_EQ(w.anwendung.anfragen, mitProgramm ? 1 : 0);
  }
  // Nothing follows from quitting: no question. Clicked while the unlock dialog is open, the quit closes
  // it and runs to its end; the dialog's answer and later clicks no longer act.
  Steuerungswelt w;
  w.runde(Zustand{});
  w.dialoge.eingaben = {{ersterKnopf, true, "geheim"}};
  w.dialoge.waehrend = [&] { w.steuerung->ausfuehren(Aktion::beendenKlick); };
  w.steuerung->passphraseErfragen(std::nullopt);
  EXPECT_EQ(w.dialoge.geschlossen, 1);
  w.steuerung->ausfuehren(Aktion::ausblenden);
  w.ablaufen();
  EXPECT_TRUE(w.dialoge.hinweise.empty());
  EXPECT_EQ(w.anwendung.anfragen, 1);
  // The collection and the quit's locks ran in the background, no unlock.
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten,
            (std::vector{Dringlichkeit::hilfsarbeit, Dringlichkeit::nutzer}));
}

TEST(Entfernen, NurEinKlickAufAllesEntfernenBestaetigt) {
  Steuerungswelt w;
  w.starten().zuruecksetzenKlick();  // no script: nothing
  EXPECT_TRUE(w.dialoge.hinweise.empty());

  w.fund = buendel;
  w.dialoge.antworten = {Wahl{ersterKnopf}, Wahl{ersterKnopf + 1}};
  w.steuerung->zuruecksetzenKlick();
  EXPECT_TRUE(w.skripte.empty());
  EXPECT_EQ(
      w.dialoge.hinweise.at(0),
      (Hinweis{.nachricht = "Alles von diesem Computer entfernen?",
               .text =
                   "Weg sind: der Tresor mit allen Bankzugängen, die Geräteerkennung Deiner Banken, die "
                   "Einträge in Claude und ChatGPT, der Autostart, die gemerkte Passphrase und das Programm "
                   "selbst. Es gibt keine Sicherung und keinen Weg zurück.\n\nDeine Konten bei der Bank "
                   "bleiben unberührt. Zum Neuanfang lädst Du das Programm wieder von "
                   "https://talerwacht.de.",
               .knoepfe = {"Abbrechen", "Alles entfernen"},
               .kritisch = true,
               .ersterAufEscape = true,
               .ohneVorgabe = true}));
  // The app forgets first; a keyring that keeps the passphrase is named before everything else goes.
  w.schluesselbund.loeschenStatus = errSecUserCanceled;
  w.steuerung->zuruecksetzenKlick();
  w.ablaufen();
  EXPECT_EQ(w.dialoge.hinweise.back().text.substr(w.dialoge.hinweise.back().text.rfind("\n\n")),
            "\n\nAlles andere wird jetzt entfernt.");
  EXPECT_EQ(w.skripte, Texte{"--zuruecksetzen"});
}

TEST(Autostart, SchaltetNachDerDateiUndWartet) {
  Steuerungswelt w;
  w.starten().autostartUmschalten();  // no script: nothing
  EXPECT_TRUE(w.skripte.empty());

  w.fund = buendel;
  w.steuerung->autostartUmschalten();
  dateiSchreiben(w.dienste.konfigOrdner / "autostart", "ja\n");
  w.steuerung->autostartUmschalten();
  EXPECT_EQ(w.skripte, (Texte{"--autostart-an wartet", "--autostart-aus wartet"}));
  EXPECT_EQ(w.anzeige.gezeigt.size(), 3u);  // redrawn after each
}

// While one dialog is open, whatever would open another brings it to the front instead, and its
// answer acts on the state of the moment it is given.
TEST(Dialoge, EinerZurZeit) {
  // Aktion::keine stands for closing the window, whose notice is a dialog too.
  for (const Aktion zweite : {Aktion::tresorEntsperren, Aktion::ausblenden, Aktion::beendenKlick,
                              Aktion::zuruecksetzenKlick, Aktion::keine}) {
    SCOPED_TRACE(static_cast<int>(zweite));
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
    w.steuerung->passphraseErfragen(std::nullopt);
    w.ablaufen();
    EXPECT_EQ(w.dialoge.gefragt.size() + w.dialoge.hinweise.size(), 1u);
    EXPECT_TRUE(w.besitzer.gruende.empty());
    EXPECT_EQ(w.dialoge.vorgeholt, 1);
    EXPECT_EQ(w.web.schritte.back() == "bleibt", zweite == Aktion::keine);
    // The refused passphrase was the typed one: the remembered one stays, and nobody asks again.
    EXPECT_EQ(w.schluesselbund.login, "gemerkt");
  }

  // The owner's confirmation counts as a dialog too, until it is answered (refused).
  Steuerungswelt w;
  w.schluesselbund.login = "gemerkt";
  w.runde(laufend("zu"));
  w.steuerung->tresorEntsperren();
  w.steuerung->ausblenden();
  w.ablaufen();
  w.steuerung->ausblenden();
  EXPECT_EQ(w.dialoge.hinweise.size(), 1u);
}

}  // namespace
}  // namespace tw
