#include "controller/steuerung.h"

#include <gtest/gtest.h>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "helfer/steuerungswelt.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using Texte = std::vector<std::string>;

TEST(Steuerung, StartZeichnetUndSammeltNieZweimalZugleich) {
  Steuerungswelt w;
  w.starten();
  EXPECT_EQ(w.anzeige.gezeigt.size(), 1u);
  EXPECT_EQ(w.anzeige.letzte().zeilen[1].titel, "Nichts verbunden");
  EXPECT_EQ(lesen(w.dienste.zustandOrdner / "menue.pid"), "777");
  EXPECT_EQ(rechte(w.dienste.zustandOrdner), 0700u);
  w.schleife.vorruecken(10s);  // three ticks while the first collection hangs
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten, std::vector{Dringlichkeit::hilfsarbeit});
  w.ablaufen();  // ... make up one collection at its end, not three
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten.size(), 2u);
  w.schleife.vorruecken(3s);
  EXPECT_EQ(w.schleife.hintergrundDringlichkeiten.size(), 3u);
}

// A vault that is not set up forgets the passphrase after the hand-back, and
// a newer copy elsewhere ends this one before anything is redrawn or started.
TEST(Steuerung, LeererTresorVergisstUndNeuereFassungBeendet) {
  for (const bool neuer : {false, true}) {
    ProtokollMitschnitt protokoll;
    Steuerungswelt w;
    w.schluesselbund.login = "alt";
    w.fund = buendel;
    w.dienste.imBuendel = neuer;
    Zustand z = laufend("leer");
    z.selbstVeraltet = neuer;
    w.runde(z);
    EXPECT_EQ(w.anzeige.gezeigt.size(), neuer ? 1u : 2u);
    EXPECT_EQ(w.anwendung.anfragen, neuer ? 1 : 0);
    EXPECT_TRUE(w.skripte.empty());  // no first-launch start either
    EXPECT_EQ(protokoll.zeilen(),
              neuer ? Texte{"Taler Wacht: neuere Fassung läuft — dieses Symbol beendet sich"} : Texte{});
    w.ablaufen();
    EXPECT_FALSE(w.schluesselbund.gemerkt());
    w.schluesselbund.login = "neu";
    w.runde(laufend("zu"));
    EXPECT_TRUE(w.schluesselbund.gemerkt());
  }
}

TEST(Steuerung, ZehnStilleStaendeStartenGenauEinmalNeu) {
  Steuerungswelt w;
  w.fund = buendel;
  for (int i = 0; i < 9; ++i) w.runde(laufend("unbekannt"));
  EXPECT_TRUE(w.beendet.empty());
  w.runde(laufend("unbekannt"));
  EXPECT_EQ(w.beendet, std::vector<pid_t>{4242});
  w.schleife.vorruecken(1500ms);
  EXPECT_EQ(w.skripte, Texte{"--still"});  // started again after 1.5 s
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
  w.fund = buendel;
  Zustand alt = laufend("zu");
  alt.programmVeraltet = true;
  w.runde(alt);
  w.runde(alt);  // within the 6 s of the replacement
  EXPECT_EQ(w.skripte.size(), 1u);
  w.schleife.vorruecken(6s);
  w.runde(alt);
  EXPECT_EQ(w.skripte.size(), 2u);
}

TEST(Steuerung, AutostartStartetNachEinerSekundeWennNichtsLaeuft) {
  for (const bool laeuft : {true, false}) {
    Steuerungswelt w;
    w.dienste.argumente = {"--autostart"};
    w.dienste.imBuendel = true;
    w.fund = buendel;
    w.runde(laeuft ? laufend("zu") : Zustand{});
    w.schleife.vorruecken(1s);
    EXPECT_EQ(w.skripte, laeuft ? Texte{} : Texte{"--still --autostart"});
  }
}

TEST(Steuerung, AbgelehntesBuendelLaeuftNichtUndWirdGemeldet) {
  ProtokollMitschnitt protokoll;
  Steuerungswelt w;
  w.vertrauen = false;
  w.fund.skript = "/x/Fremd.app/Contents/Resources/starten";
  w.starten().starten();
  EXPECT_TRUE(w.skripte.empty());
  EXPECT_EQ(w.anzeige.gezeigt.size(), 2u);
  EXPECT_EQ(protokoll.zeilen(),
            Texte{"Taler Wacht: Fremd.app trägt nicht unsere Signatur — Skript nicht gestartet"});
}

TEST(Steuerung, AnhaltenPerKlickSignalisiertNurEinLaufendesProgramm) {
  Steuerungswelt w;
  w.runde(laufend("zu", 99));
  w.anzeige.klick(Aktion::anhalten);
  EXPECT_EQ(w.beendet, std::vector<pid_t>{99});
  w.runde(Zustand{});
  w.steuerung->anhalten();
  EXPECT_EQ(w.beendet.size(), 1u);
  w.schleife.vorruecken(1s);
  EXPECT_TRUE(w.steuerung->sammeltGerade());  // refreshed after a second
}

}  // namespace
}  // namespace tw
