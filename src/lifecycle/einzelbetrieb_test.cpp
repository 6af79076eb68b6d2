#include "lifecycle/einzelbetrieb.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/dateien.h"
#include "app/text.h"
#include "fakes/protokoll_mitschnitt.h"
#include "fakes/virtuelle_schleife.h"
#include "lifecycle/prozesse.h"
#include "test.h"

namespace tw {
namespace {

TEST(Einzelbetrieb, PrivaterOrdnerSperreUndWartenOhneBrauchbarePid) {
  TempOrdner t;
  const Einzelbetrieb betrieb{t / "zustand", t / "zustand/menue.lock", t / "zustand/menue.pid", true, 4242};
  VirtuelleSchleife uhr;
  ProtokollMitschnitt protokoll;
  // The decision, the time waited and the state folder's mode; the lock stays held from the first
  // success on, by a separate open file description as another copy would hold it.
  int griff = -1;
  const auto versuch = [&] {
    const auto vorher = uhr.jetzt();
    const auto ergebnis = einzigBleibenVersuchen(betrieb, uhr);
    if (griff < 0) griff = ergebnis.griff;
    return std::tuple(ergebnis.entscheid, uhr.jetzt() - vorher, rechte(betrieb.zustandOrdner));
  };
  dateiSchreiben(t / "zustand", "eine Datei, kein Ordner");
  EXPECT_EQ(std::get<0>(versuch()), Einzelentscheid::ungeschuetzt);
  fs::remove(t / "zustand");
  EXPECT_EQ(versuch(), std::tuple(Einzelentscheid::weiter, 0ms, 0700u));
  EXPECT_EQ(lesen(betrieb.sperrdatei), "4242");
  // A folder that was there keeps its mode: it may be a shared one like /tmp. Unusable pids and our
  // own are passed over; a stranger is named at each of the 8 tries, 0.25 s apart, never signalled.
  ::chmod(betrieb.zustandOrdner.c_str(), 01777);
  Kindprozess fremder({{"/bin/sleep", "30"}});
  ASSERT_TRUE(bisZu(5s, [&] { return prozessPfad(fremder.pid()).value_or("").ends_with("/sleep"); }));
  const auto fremd = std::to_string(fremder.pid());
  for (const char* inhalt : {"4242", "0", "abc", "-1", fremd.c_str()}) {
    dateiSchreiben(betrieb.sperrdatei, inhalt);
    EXPECT_EQ(versuch(), std::tuple(Einzelentscheid::aufgeben, 2000ms, 01777u)) << inhalt;
  }
  EXPECT_TRUE(fremder.laeuft());
  const std::string zeile = "Taler Wacht: Prozess " + fremd + " ist nicht unser (" +
                            *prozessPfad(fremder.pid()) + ") — nicht beendet";
  EXPECT_EQ(protokoll.zeilen(), std::vector<std::string>(8, zeile));
  ::close(griff);
}

// The real program, started as separate copies, from a bundle without the start script so that
// no copy starts a server.
struct Kopien : ::testing::Test {
  TempOrdner t;
  fs::path zustand = t / "zustand";
  std::string imBuendel = [this] {
    const auto inhalt = t / "Taler Wacht.app/Contents";
    fs::create_directories(inhalt / "MacOS");
    fs::copy_file(fs::path(TW_IM_BUENDEL).parent_path() / "../Info.plist", inhalt / "Info.plist");
    fs::copy_file(TW_IM_BUENDEL, inhalt / "MacOS/TalerWacht");
    return inhalt / "MacOS/TalerWacht";
  }();
  Start start(const std::string& programm) const { return {{programm}, umgebung(t.pfad(), zustand)}; }
  std::optional<pid_t> pidDatei() const { return ganzzahl32(lesen(zustand / "menue.pid").value_or("")); }
  // Holds the lock and has its SIGTERM handler in place.
  bool haelt(const Kindprozess& kind) const {
    const auto status =
        rohLesen("/proc/" + std::to_string(kind.pid()) + "/status", 1 << 16).value_or("SigCgt:0");
    const auto faengt = std::stoull(status.substr(status.find("SigCgt:") + 7), nullptr, 16);
    return (faengt >> (SIGTERM - 1) & 1) && pidDatei() == kind.pid();
  }
};

TEST_F(Kopien, NacktGibtNachBuendelUebernimmtOhneAnzeigeBleibtSigtermEndet) {
  Kindprozess nackt(start(TW_NACKT));
  ASSERT_TRUE(bisZu(5s, [&] { return haelt(nackt); }));
  Kindprozess zweites(start(TW_NACKT));
  EXPECT_TRUE(endeteMit(zweites.warten(1s), 0));
  EXPECT_TRUE(nackt.laeuft());
  EXPECT_EQ(pidDatei(), nackt.pid());

  Kindprozess buendel(start(imBuendel));
  EXPECT_TRUE(endeteMit(nackt.warten(2s), 0));
  ASSERT_TRUE(bisZu(2s, [&] { return haelt(buendel); }));

  Kindprozess blind({{imBuendel}, umgebung(t.pfad(), zustand), {"DISPLAY", "WAYLAND_DISPLAY"}});
  EXPECT_TRUE(endeteMit(blind.warten(5s), 1));
  EXPECT_NE(blind.fehler().find("keine grafische Sitzung"), std::string::npos) << blind.fehler();
  EXPECT_TRUE(buendel.laeuft());
  EXPECT_EQ(pidDatei(), buendel.pid());

  ::kill(buendel.pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(buendel.warten(5s), 0));
  EXPECT_FALSE(fs::exists(zustand / "menue.pid"));
}

// Each copy takes over from the one before; each starts the desktop side before it asks for the
// lock, so wait until the handing over has settled.
TEST_F(Kopien, VonZehnGleichzeitigenBleibtEines) {
  std::vector<std::unique_ptr<Kindprozess>> kopien;
  for (int i = 0; i < 10; ++i) kopien.push_back(std::make_unique<Kindprozess>(start(imBuendel)));
  EXPECT_TRUE(bisZu(30s, [&] {
    std::vector<pid_t> laufend;
    for (auto& kopie : kopien)
      if (kopie->laeuft()) laufend.push_back(kopie->pid());
    return laufend == std::vector<pid_t>{pidDatei().value_or(0)};
  }));
}

}  // namespace
}  // namespace tw
