#include "controller/steuerung.h"

#include <gtest/gtest.h>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "helfer/steuerungswelt.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

TEST(Steuerung, StartZeigtDieVorgabenUndHoltDenErstenStand) {
  Steuerungswelt w;
  w.starten();
  ASSERT_EQ(w.anzeige.gezeigt.size(), 1u);
  EXPECT_EQ(w.anzeige.letzte().zeilen[1].titel, "Nichts verbunden");
  EXPECT_TRUE(w.steuerung->sammeltGerade());
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten, std::vector{Dringlichkeit::hilfsarbeit});
  EXPECT_EQ(lesen(w.dienste.zustandOrdner / "menue.pid"), "777");
  EXPECT_EQ(rechte(w.dienste.zustandOrdner), 0700u);
}

TEST(Steuerung, RueckgabeVeroeffentlichtGibtFreiUndVergisstDannBeiLeeremTresor) {
  Steuerungswelt w;
  w.schluesselbund.login = "alt";
  w.schluesselbund.beimLoeschen = [&] {
    EXPECT_EQ(w.steuerung->zustand().tresor, "leer");
    EXPECT_FALSE(w.steuerung->sammeltGerade());
    EXPECT_EQ(w.anzeige.gezeigt.size(), 1u);  // before the redraw
  };
  w.starten();
  w.runde(laufend("leer"));
  EXPECT_FALSE(w.schluesselbund.gemerkt());
  EXPECT_EQ(w.anzeige.gezeigt.size(), 2u);

  w.schluesselbund.login = "neu";
  w.runde(laufend("zu"));
  EXPECT_TRUE(w.schluesselbund.gemerkt());
}

TEST(Steuerung, TaktWaehrendDesSammelnsStartetKeinZweites) {
  Steuerungswelt w;
  w.starten();
  w.schleife.vorruecken(10s);  // three ticks while the first collection hangs
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten.size(), 1u);
  w.schleife.hintergrundAbarbeiten();
  w.schleife.vorruecken(0ms);
  EXPECT_FALSE(w.steuerung->sammeltGerade());
  w.schleife.vorruecken(3s);
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten.size(), 2u);
}

TEST(Steuerung, ZehnStilleStaendeStartenGenauEinmalNeu) {
  Steuerungswelt w;
  w.fund.skript = "/b.app/Contents/Resources/starten";
  w.starten();
  for (int i = 0; i < 9; ++i) w.runde(laufend("unbekannt"));
  EXPECT_TRUE(w.beendet.empty());
  w.runde(laufend("unbekannt"));
  EXPECT_EQ(w.beendet, std::vector<pid_t>{4242});
  w.schleife.vorruecken(1500ms);
  ASSERT_EQ(w.skripte.size(), 1u);  // started again after 1.5 s
  EXPECT_EQ(w.skripte[0].argumente, std::vector<std::string>{"--still"});

  w.runde(laufend("unbekannt"));
  w.schleife.vorruecken(30s);
  w.runde(laufend("unbekannt"));
  EXPECT_EQ(w.beendet.size(), 1u);
  EXPECT_EQ(w.steuerung->ohneAntwort(), 12);

  w.runde(laufend("zu"));
  EXPECT_EQ(w.steuerung->ohneAntwort(), 0);
}

TEST(Steuerung, VeraltetesProgrammWirdEinmalErsetzt) {
  Steuerungswelt w;
  w.fund.skript = "/b.app/Contents/Resources/starten";
  w.starten();
  Zustand alt = laufend("zu");
  alt.programmVeraltet = true;
  w.runde(alt);
  EXPECT_EQ(w.skripte.size(), 1u);
  w.runde(alt);  // within the 6 s of the replacement
  EXPECT_EQ(w.skripte.size(), 1u);
  w.schleife.vorruecken(6s);
  w.runde(alt);
  EXPECT_EQ(w.skripte.size(), 2u);
}

TEST(Steuerung, NeuereFassungBeendetVorDemNeuzeichnen) {
  ProtokollMitschnitt protokoll;
  Steuerungswelt w;
  w.schluesselbund.login = "alt";
  w.fund.skript = "/b.app/Contents/Resources/starten";
  w.dienste.imBuendel = true;
  w.starten();
  Zustand neuer = laufend("leer");
  neuer.selbstVeraltet = true;
  w.runde(neuer);
  EXPECT_FALSE(w.schluesselbund.gemerkt());
  EXPECT_EQ(w.anwendung.anfragen, 1);
  EXPECT_EQ(w.anzeige.gezeigt.size(), 1u);
  EXPECT_TRUE(w.skripte.empty());  // no first-launch start either
  EXPECT_EQ(protokoll.zeilen(),
            std::vector<std::string>{"Taler Wacht: neuere Fassung läuft — dieses Symbol beendet sich"});
}

TEST(Steuerung, AutostartStartetNurWennDasProgrammNichtLaeuft) {
  for (const bool laeuft : {true, false}) {
    Steuerungswelt w;
    w.dienste.argumente = {"--autostart"};
    w.dienste.imBuendel = true;
    w.fund.skript = "/b.app/Contents/Resources/starten";
    w.starten();
    Zustand z = laeuft ? laufend("zu") : Zustand{};
    w.runde(z);
    w.schleife.vorruecken(1s);
    if (laeuft) {
      EXPECT_TRUE(w.skripte.empty());
    } else {
      ASSERT_EQ(w.skripte.size(), 1u);  // the first launch leaves it to the flag
      EXPECT_EQ(w.skripte[0].argumente, (std::vector<std::string>{"--still", "--autostart"}));
      EXPECT_FALSE(w.skripte[0].warten);
    }
  }
}

TEST(Steuerung, ErsterStartImBuendelStartetDasProgramm) {
  Steuerungswelt w;
  w.dienste.imBuendel = true;
  w.fund.skript = "/b.app/Contents/Resources/starten";
  w.starten();
  w.runde(Zustand{});
  w.runde(Zustand{});
  ASSERT_EQ(w.skripte.size(), 1u);
  EXPECT_EQ(w.skripte[0].skript, "/b.app/Contents/Resources/starten");
}

TEST(Steuerung, AbgelehntesBuendelLaeuftNichtUndWirdGemeldet) {
  ProtokollMitschnitt protokoll;
  Steuerungswelt w;
  w.vertrauen = false;
  w.fund.skript = "/x/Fremd.app/Contents/Resources/starten";
  w.starten();
  w.steuerung->starten();
  EXPECT_TRUE(w.skripte.empty());
  EXPECT_EQ(w.anzeige.gezeigt.size(), 2u);
  EXPECT_EQ(protokoll.zeilen(),
            std::vector<std::string>{
                "Taler Wacht: Fremd.app trägt nicht unsere Signatur — Skript nicht gestartet"});
}

TEST(Steuerung, AnhaltenOhneProgrammSignalisiertNichtsUndAktualisiert) {
  Steuerungswelt w;
  w.starten();
  w.runde(Zustand{});
  w.steuerung->anhalten();
  EXPECT_TRUE(w.beendet.empty());
  w.schleife.vorruecken(1s);
  EXPECT_TRUE(w.steuerung->sammeltGerade());
}

TEST(Steuerung, KlickFuehrtDieAktionDerZeileAus) {
  Steuerungswelt w;
  w.starten();
  w.runde(laufend("zu", 99));
  w.anzeige.klick(Aktion::anhalten);
  EXPECT_EQ(w.beendet, std::vector<pid_t>{99});
}

}  // namespace
}  // namespace tw
