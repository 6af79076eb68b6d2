#include "lifecycle/einzelbetrieb.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "fakes/virtuelle_schleife.h"
#include "helfer/kindprozess.h"
#include "lifecycle/prozesse.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

TEST(Einzelbetrieb, PrivaterOrdnerSperreUndWartenOhneBrauchbarePid) {
  TempOrdner t;
  const Einzelbetrieb betrieb{t / "zustand", t / "zustand/menue.lock", t / "zustand/menue.pid", true, 4242};
  VirtuelleSchleife uhr;
  ProtokollMitschnitt protokoll;
  dateiSchreiben(t / "zustand", "eine Datei, kein Ordner");
  EXPECT_EQ(einzigBleibenVersuchen(betrieb, uhr).entscheid, Einzelentscheid::ungeschuetzt);
  std::filesystem::remove(t / "zustand");
  auto ergebnis = einzigBleibenVersuchen(betrieb, uhr);
  EXPECT_EQ(ergebnis.entscheid, Einzelentscheid::weiter);
  EXPECT_EQ(lesen(betrieb.sperrdatei), "4242");
  EXPECT_EQ(rechte(betrieb.zustandOrdner), 0700u);
  // A folder that was there keeps its mode: it may be a shared one like /tmp.
  ::close(ergebnis.griff);
  ::chmod(betrieb.zustandOrdner.c_str(), 01777);
  ergebnis = einzigBleibenVersuchen(betrieb, uhr);
  EXPECT_EQ(rechte(betrieb.zustandOrdner), 01777u);
  // The lock stays held by `ergebnis.griff`, a separate open file description, as another copy would hold it.
  for (const char* inhalt : {"4242", "0", "abc", "-1"}) {
    dateiSchreiben(betrieb.sperrdatei, inhalt);
    const auto vorher = uhr.jetzt();
    EXPECT_EQ(einzigBleibenVersuchen(betrieb, uhr).entscheid, Einzelentscheid::aufgeben) << inhalt;
    EXPECT_EQ(uhr.jetzt() - vorher, 2000ms) << "8 waits of 0.25 s";
  }
  EXPECT_TRUE(protokoll.zeilen().empty());
  ::close(ergebnis.griff);
}

// The real program, started as separate copies.
struct Kopien : ::testing::Test {
  TempOrdner t;
  std::filesystem::path zustand = t / "zustand";
  // A bundle without the start script, so that no copy starts a server.
  std::string imBuendel = buendelOhneSkript();
  Start start(const std::string& programm) const {
    return {{programm}, {{"HOME", t.pfad()}, {"GELD_BOTE_ZUSTAND", zustand}}};
  }
  std::string buendelOhneSkript() const {
    const auto inhalt = t / "Taler Wacht.app/Contents";
    std::filesystem::create_directories(inhalt / "MacOS");
    std::filesystem::copy_file(std::filesystem::path(TW_IM_BUENDEL).parent_path() / "../Info.plist",
                               inhalt / "Info.plist");
    std::filesystem::copy_file(TW_IM_BUENDEL, inhalt / "MacOS/TalerWacht");
    return inhalt / "MacOS/TalerWacht";
  }
  std::optional<pid_t> pidDatei() const {
    auto text = lesen(zustand / "menue.pid");
    return text ? std::optional<pid_t>(std::stoi(*text)) : std::nullopt;
  }
  // Holds the lock and has its SIGTERM handler in place.
  bool haelt(const Kindprozess& kind) const {
    std::ifstream status("/proc/" + std::to_string(kind.pid()) + "/status");
    std::string zeile;
    while (std::getline(status, zeile) && !zeile.starts_with("SigCgt:")) {
    }
    const bool faengt = !zeile.empty() && (std::stoull(zeile.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return faengt && pidDatei() == kind.pid();
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
  EXPECT_EQ(buendel.fehler().find("nicht unser"), std::string::npos) << buendel.fehler();

  Start ohneAnzeige = start(imBuendel);
  ohneAnzeige.ohne = {"DISPLAY", "WAYLAND_DISPLAY"};
  Kindprozess blind(ohneAnzeige);
  EXPECT_TRUE(endeteMit(blind.warten(5s), 1));
  EXPECT_NE(blind.fehler().find("keine grafische Sitzung"), std::string::npos) << blind.fehler();
  EXPECT_TRUE(buendel.laeuft());
  EXPECT_EQ(pidDatei(), buendel.pid());

  ::kill(buendel.pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(buendel.warten(5s), 0));
  EXPECT_FALSE(std::filesystem::exists(zustand / "menue.pid"));
}

TEST_F(Kopien, FremderProzessInDerPidDateiWirdNieSignalisiert) {
  Kindprozess fremder({{"/bin/sleep", "30"}});
  ASSERT_TRUE(bisZu(5s, [&] { return prozessPfad(fremder.pid()).value_or("").ends_with("/sleep"); }));
  // Holds the lock as another copy would and names the stranger in the pid file.
  VirtuelleSchleife uhr;
  const int griff = einzigBleibenVersuchen(
                        {zustand, zustand / "menue.lock", zustand / "menue.pid", false, fremder.pid()}, uhr)
                        .griff;
  Kindprozess neu(start(imBuendel));
  EXPECT_TRUE(endeteMit(neu.warten(5s), 0));
  EXPECT_TRUE(fremder.laeuft());
  const std::string zeile = "Taler Wacht: Prozess " + std::to_string(fremder.pid()) + " ist nicht unser (" +
                            *prozessPfad(fremder.pid()) + ") — nicht beendet\n";
  // Only the app's own lines: the desktop libraries may warn about the session.
  std::string eigene, erwartet;
  std::istringstream zeilen(neu.fehler());
  for (std::string z; std::getline(zeilen, z);)
    if (z.starts_with("Taler Wacht: ")) eigene += z + "\n";
  for (int i = 0; i < 8; ++i) erwartet += zeile;
  EXPECT_EQ(eigene, erwartet);
  ::close(griff);
}

TEST_F(Kopien, VonZehnGleichzeitigenBleibtEines) {
  std::vector<std::unique_ptr<Kindprozess>> kopien;
  for (int i = 0; i < 10; ++i) kopien.push_back(std::make_unique<Kindprozess>(start(imBuendel)));
  // Each copy takes over from the one before; each starts the desktop side
  // before it asks for the lock, so wait until the handing over has settled.
  std::vector<pid_t> laufend;
  const auto einesBleibt = [&] {
    laufend.clear();
    for (auto& kopie : kopien)
      if (kopie->laeuft()) laufend.push_back(kopie->pid());
    return laufend.size() == 1 && pidDatei() == laufend[0];
  };
  EXPECT_TRUE(bisZu(30s, einesBleibt)) << laufend.size() << " copies left";
}

}  // namespace
}  // namespace tw
