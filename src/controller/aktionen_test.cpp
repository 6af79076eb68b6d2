#include <gtest/gtest.h>

#include "app/dateien.h"
#include "controller/steuerung.h"
#include "helfer/steuerungswelt.h"

namespace tw {
namespace {

const std::string ausDemBuendel =
    "Zurück kommt es, wenn du Taler Wacht wieder öffnest, etwa über die Programmsuche.";
const std::string ausClaude =
    "Zurück kommt es, wenn Claude Desktop die Erweiterung neu startet — Claude beenden und wieder öffnen "
    "genügt.";

TEST(Adresse, NeuBisZumKopieren) {
  Steuerungswelt w;
  Steuerung& s = w.starten();
  Zustand z = laufend("zu");
  z.adresse = "A";
  w.runde(z);
  EXPECT_TRUE(s.neueAdresse());  // no file yet
  EXPECT_EQ(w.anzeige.letzte().titel, " gesperrt !");

  s.adresseKopieren();
  EXPECT_EQ(w.ablage.texte, std::vector<std::string>{"A"});
  EXPECT_EQ(lesen(w.dienste.zustandOrdner / "menue.adresse"), "A");
  EXPECT_EQ(rechte(w.dienste.zustandOrdner / "menue.adresse"), 0600u);
  EXPECT_EQ(w.anzeige.letzte().titel, " gesperrt");  // at once, before the next refresh

  dateiSchreiben(w.dienste.zustandOrdner / "menue.adresse", "A\n");
  EXPECT_FALSE(s.neueAdresse());
  z.adresse = "B";
  z.programmLaeuft = false;
  w.runde(z);
  EXPECT_FALSE(s.neueAdresse());  // stopped: nothing is new
}

TEST(Ausblenden, FragtMitDemPassendenText) {
  for (const bool offen : {true, false}) {
    Steuerungswelt w;
    w.dienste.imBuendel = offen;  // both texts of the way back, too
    Steuerung& s = w.starten();
    w.runde(laufend(offen ? "offen" : "zu"));
    s.ausblenden();
    ASSERT_EQ(w.dialoge.hinweise.size(), 1u);
    const Hinweis& h = w.dialoge.hinweise[0];
    EXPECT_EQ(h.nachricht, "Nur das Symbol ausblenden?");
    EXPECT_EQ(h.text, offen ? "Der Tresor bleibt offen, alles läuft weiter — nur das Symbol verschwindet. " +
                                  ausDemBuendel
                            : "Alles läuft weiter, nur das Symbol verschwindet. " + ausClaude);
    EXPECT_EQ(h.knoepfe, (std::vector<std::string>{"Ausblenden", "Abbrechen"}));
    EXPECT_EQ(h.kaestchen, "Nicht mehr fragen");
    EXPECT_EQ(w.anwendung.anfragen, 0);  // "Abbrechen"
  }
}

TEST(Ausblenden, NichtMehrFragenGiltAbDemNaechstenMal) {
  Steuerungswelt w;
  Steuerung& s = w.starten();
  w.dialoge.antworten = {Wahl{ersterKnopf, false}, Wahl{ersterKnopf, true}};
  s.ausblenden();
  EXPECT_EQ(w.anwendung.anfragen, 1);
  EXPECT_FALSE(std::filesystem::exists(w.dienste.konfigOrdner / "symbol-hinweis"));
  s.ausblenden();
  EXPECT_EQ(w.anwendung.anfragen, 2);
  EXPECT_EQ(lesen(w.dienste.konfigOrdner / "symbol-hinweis"), "gesehen");

  dateiSchreiben(w.dienste.konfigOrdner / "symbol-hinweis", "gesehen\n");
  s.ausblenden();
  EXPECT_EQ(w.dialoge.hinweise.size(), 2u);
  EXPECT_EQ(w.anwendung.anfragen, 3);
}

TEST(Beenden, OhneFolgenSofort) {
  Steuerungswelt w;
  Steuerung& s = w.starten();
  w.runde(Zustand{});
  s.beendenKlick();
  EXPECT_TRUE(w.dialoge.hinweise.empty());
  w.schleife.hintergrundAbarbeiten();
  w.schleife.vorruecken(std::chrono::milliseconds(0));
  EXPECT_EQ(w.anwendung.anfragen, 1);
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten.back(), Dringlichkeit::nutzer);
}

TEST(Beenden, NenntJedeFolge) {
  for (const bool mitProgramm : {false, true}) {
    Steuerungswelt w;
    Steuerung& s = w.starten();
    Zustand z = mitProgramm ? laufend("offen") : Zustand{};
    z.tresor = "offen";
    z.claudePorts = {40001, 40002};
    w.runde(z);
    s.beendenKlick();
    ASSERT_EQ(w.dialoge.hinweise.size(), 1u);
    const Hinweis& h = w.dialoge.hinweise[0];
    EXPECT_EQ(h.nachricht, "Taler Wacht beenden?");
    EXPECT_EQ(h.text,
              std::string("Der Tresor wird gesperrt. ") +
                  (mitProgramm ? "Das Programm für ChatGPT & Co. wird angehalten. " : "") +
                  "Claude ist verbunden (2) und kann bis zum nächsten Entsperren keine Bankdaten abrufen. " +
                  ausClaude);
    EXPECT_EQ(h.knoepfe, (std::vector<std::string>{"Beenden", "Abbrechen"}));
    w.schleife.hintergrundAbarbeiten();
    EXPECT_EQ(w.anwendung.anfragen, 0);
  }
}

TEST(Entfernen, NurEinKlickAufAllesEntfernenBestaetigt) {
  Steuerungswelt w;
  Steuerung& s = w.starten();
  s.zuruecksetzenKlick();  // no script: nothing
  EXPECT_TRUE(w.dialoge.hinweise.empty());

  w.fund.skript = "/b.app/Contents/Resources/starten";
  w.dialoge.antworten = {Wahl{ersterKnopf}, Wahl{ersterKnopf + 1}};
  s.zuruecksetzenKlick();
  EXPECT_TRUE(w.skripte.empty());
  const Hinweis& h = w.dialoge.hinweise.at(0);
  EXPECT_EQ(h.nachricht, "Alles von diesem Computer entfernen?");
  EXPECT_EQ(
      h.text,
      "Weg sind: der Tresor mit allen Bankzugängen, die Geräteerkennung Deiner Banken, die Einträge in "
      "Claude und "
      "ChatGPT, der Autostart, die gemerkte Passphrase und das Programm selbst. Es gibt keine Sicherung und "
      "keinen Weg zurück.\n\nDeine Konten bei der Bank bleiben unberührt. Zum Neuanfang lädst Du das "
      "Programm "
      "wieder von https://talerwacht.de.");
  EXPECT_EQ(h.knoepfe, (std::vector<std::string>{"Abbrechen", "Alles entfernen"}));
  EXPECT_TRUE(h.kritisch);
  EXPECT_TRUE(h.ersterAufEscape);

  s.zuruecksetzenKlick();
  ASSERT_EQ(w.skripte.size(), 1u);
  EXPECT_EQ(w.skripte[0].argumente, std::vector<std::string>{"--zuruecksetzen"});
  EXPECT_FALSE(w.skripte[0].warten);
}

TEST(Autostart, SchaltetNachDerDateiUndWartet) {
  Steuerungswelt w;
  Steuerung& s = w.starten();
  s.autostartUmschalten();  // no script: nothing
  EXPECT_TRUE(w.skripte.empty());

  w.fund.skript = "/b.app/Contents/Resources/starten";
  const auto gezeigt = w.anzeige.gezeigt.size();
  s.autostartUmschalten();
  dateiSchreiben(w.dienste.konfigOrdner / "autostart", "ja\n");
  s.autostartUmschalten();
  ASSERT_EQ(w.skripte.size(), 2u);
  EXPECT_EQ(w.skripte[0].argumente, std::vector<std::string>{"--autostart-an"});
  EXPECT_EQ(w.skripte[1].argumente, std::vector<std::string>{"--autostart-aus"});
  EXPECT_TRUE(w.skripte[0].warten);
  EXPECT_EQ(w.anzeige.gezeigt.size(), gezeigt + 2);
}

}  // namespace
}  // namespace tw
