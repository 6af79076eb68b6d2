#include "controller/steuerung.h"

#include "app/dateien.h"
#include "helfer/steuerungswelt.h"
#include "test.h"

namespace tw {
namespace {

TEST(Steuerung, StartZeichnetUndSammeltNieZweimalZugleich) {
  Steuerungswelt w;
  w.starten();
  EXPECT_EQ(w.anzeige.gezeigt.size(), 1u);
  EXPECT_EQ(lesen(w.dienste.zustandOrdner / "menue.pid"), "777");
  EXPECT_EQ(rechte(w.dienste.zustandOrdner), 0700u);
  const auto& sammlungen = w.schleife.hintergrundDringlichkeiten;
  w.schleife.vorruecken(10s);  // three ticks while the first collection hangs ...
  EXPECT_EQ(sammlungen, std::vector{Dringlichkeit::hilfsarbeit});
  w.ablaufen();  // ... make up one at its end, not three; then the timer goes on
  w.schleife.vorruecken(3s);
  EXPECT_EQ(sammlungen.size(), 3u);
}

// A vault that is not set up forgets the passphrase after the hand-back, and
// a newer copy elsewhere ends this one before anything is redrawn or started.
TEST(Steuerung, LeererTresorVergisstUndNeuereFassungBeendet) {
  for (const bool neuer : {false, true}) {
    Steuerungswelt w;
    w.schluesselbund.login = "alt";
    w.fund = buendel;
    w.dienste.imBuendel = neuer;
    Zustand z = laufend("leer");
    z.selbstVeraltet = neuer;
    w.runde(z);
    EXPECT_EQ(w.anzeige.gezeigt.size(), neuer ? 1u : 2u);
    EXPECT_EQ(w.bericht(),
              neuer ? "protokoll neuere Fassung läuft — dieses Symbol beendet sich | ende 1" : "");
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
  EXPECT_EQ(w.bericht(), "");
  w.runde(laufend("unbekannt"));
  w.schleife.vorruecken(1500ms);
  EXPECT_EQ(w.bericht(), "skript --still | beendet 4242");  // started again after 1.5 s
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
    EXPECT_EQ(w.bericht(), laeuft ? "" : "skript --still --autostart");
  }
}

TEST(Steuerung, AbgelehntesBuendelLaeuftNichtUndWirdGemeldet) {
  Steuerungswelt w;
  w.vertrauen = false;
  w.fund.skript = "/x/Fremd.app/Contents/Resources/starten";
  w.starten().ausfuehren(Aktion::starten);
  EXPECT_EQ(w.anzeige.gezeigt.size(), 2u);
  EXPECT_EQ(w.bericht(), "protokoll Fremd.app trägt nicht unsere Signatur — Skript nicht gestartet");
}

TEST(Steuerung, AnhaltenPerKlickSignalisiertNurEinLaufendesProgramm) {
  Steuerungswelt w;
  w.runde(laufend("zu", 99));
  w.anzeige.klick(Aktion::anhalten);
  w.runde(Zustand{});
  w.steuerung->ausfuehren(Aktion::anhalten);
  EXPECT_EQ(w.bericht(), "beendet 99");
  w.schleife.vorruecken(1s);
  EXPECT_TRUE(w.steuerung->sammeltGerade());  // refreshed after a second
}

}  // namespace
}  // namespace tw
