#include "lifecycle/einzelbetrieb.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "fakes/virtuelle_schleife.h"
#include "helfer/kindprozess.h"
#include "helfer/temp_ordner.h"
#include "lifecycle/prozesse.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

// The lock as another copy holds it: a separate open file description.
struct FremdeSperre {
  explicit FremdeSperre(const std::filesystem::path& datei)
      : griff(::open(datei.c_str(), O_RDWR | O_CREAT, 0600)) {
    ::flock(griff, LOCK_EX | LOCK_NB);
  }
  ~FremdeSperre() { ::close(griff); }
  int griff;
};

struct Einzelbetriebtest : ::testing::Test {
  TempOrdner t;
  Einzelbetrieb betrieb{t / "zustand", t / "zustand" / "menue.lock", t / "zustand" / "menue.pid", true, 4242};
  VirtuelleSchleife uhr;
  ProtokollMitschnitt protokoll;
  Dauer gewartet() const { return std::chrono::duration_cast<Dauer>(uhr.jetzt() - Zeitpunkt{}); }
};

}  // namespace

TEST_F(Einzelbetriebtest, FreieSperreWirdGenommenUndDerOrdnerPrivat) {
  auto ergebnis = einzigBleibenVersuchen(betrieb, uhr);
  EXPECT_EQ(ergebnis.entscheid, Einzelentscheid::weiter);
  EXPECT_EQ(lesen(betrieb.sperrdatei), "4242");
  EXPECT_EQ(rechte(betrieb.zustandOrdner), 0700u);
  // The same folder, opened wide meanwhile, is narrowed again by the next copy.
  ::close(ergebnis.griff);
  ::chmod(betrieb.zustandOrdner.c_str(), 0755);
  ::close(einzigBleibenVersuchen(betrieb, uhr).griff);
  EXPECT_EQ(rechte(betrieb.zustandOrdner), 0700u);
}

TEST_F(Einzelbetriebtest, OhneBrauchbareFremdePidNurWarten) {
  std::filesystem::create_directory(betrieb.zustandOrdner);
  FremdeSperre sperre(betrieb.sperrschloss);
  for (const char* inhalt : {"4242", "0", "abc", "-1"}) {
    dateiSchreiben(betrieb.sperrdatei, inhalt);
    const auto vorher = gewartet();
    EXPECT_EQ(einzigBleibenVersuchen(betrieb, uhr).entscheid, Einzelentscheid::aufgeben) << inhalt;
    EXPECT_EQ(gewartet() - vorher, 2000ms) << "8 waits of 0.25 s";
  }
  EXPECT_TRUE(protokoll.zeilen().empty());
}

TEST_F(Einzelbetriebtest, OhneSperrdateiUngeschuetztUndOhnePid) {
  dateiSchreiben(t / "zustand", "eine Datei, kein Ordner");
  EXPECT_EQ(einzigBleibenVersuchen(betrieb, uhr).entscheid, Einzelentscheid::ungeschuetzt);
  EXPECT_FALSE(std::filesystem::exists(betrieb.sperrdatei));
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
    namespace fs = std::filesystem;
    const fs::path gebaut = fs::path(TW_IM_BUENDEL).parent_path().parent_path();
    const fs::path inhalt = t / "Taler Wacht.app/Contents";
    fs::create_directories(inhalt / "MacOS");
    fs::copy_file(gebaut / "Info.plist", inhalt / "Info.plist");
    fs::copy_file(TW_IM_BUENDEL, inhalt / "MacOS/TalerWacht");
    return (inhalt / "MacOS/TalerWacht").string();
  }
  std::optional<pid_t> pidDatei() const {
    auto text = lesen(zustand / "menue.pid");
    return text ? std::optional<pid_t>(std::stoi(*text)) : std::nullopt;
  }
  // Holds the lock and has its SIGTERM handler in place.
  bool haelt(const Kindprozess& kind) const {
    std::ifstream status("/proc/" + std::to_string(kind.pid()) + "/status");
    std::string zeile;
    while (std::getline(status, zeile) && zeile.rfind("SigCgt:", 0) != 0) {
    }
    const bool faengt = !zeile.empty() && (std::stoull(zeile.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return faengt && pidDatei() == kind.pid();
  }
};

TEST_F(Kopien, ZweitesNacktesProgrammGibtSofortAuf) {
  Kindprozess erstes(start(TW_NACKT));
  ASSERT_TRUE(bisZu(5s, [&] { return haelt(erstes); }));
  Kindprozess zweites(start(TW_NACKT));
  EXPECT_TRUE(endeteMit(zweites.warten(1s), 0));
  EXPECT_TRUE(erstes.laeuft());
  EXPECT_EQ(pidDatei(), erstes.pid());
}

TEST_F(Kopien, BuendelUebernimmtVomLaufendenProgramm) {
  Kindprozess alt(start(TW_NACKT));
  ASSERT_TRUE(bisZu(5s, [&] { return haelt(alt); }));
  Kindprozess neu(start(imBuendel));
  EXPECT_TRUE(endeteMit(alt.warten(2s), 0));
  EXPECT_TRUE(bisZu(2s, [&] { return haelt(neu); }));
  EXPECT_TRUE(neu.laeuft());
  EXPECT_EQ(neu.fehler().find("nicht unser"), std::string::npos) << neu.fehler();
}

TEST_F(Kopien, OhneAnzeigeBleibtDieLaufendeKopie) {
  Kindprozess laufend(start(imBuendel));
  ASSERT_TRUE(bisZu(5s, [&] { return haelt(laufend); }));
  Start ohneAnzeige = start(imBuendel);
  ohneAnzeige.ohne = {"DISPLAY", "WAYLAND_DISPLAY"};
  Kindprozess neu(ohneAnzeige);
  EXPECT_TRUE(endeteMit(neu.warten(5s), 1));
  EXPECT_NE(neu.fehler().find("keine grafische Sitzung"), std::string::npos) << neu.fehler();
  EXPECT_TRUE(laufend.laeuft());
  EXPECT_EQ(pidDatei(), laufend.pid());
}

TEST_F(Kopien, FremderProzessInDerPidDateiWirdNieSignalisiert) {
  std::filesystem::create_directories(zustand);
  FremdeSperre sperre(zustand / "menue.lock");
  Kindprozess fremder({{"/bin/sleep", "30"}});
  ASSERT_TRUE(bisZu(5s, [&] { return prozessPfad(fremder.pid()).value_or("").ends_with("/sleep"); }));
  dateiSchreiben(zustand / "menue.pid", std::to_string(fremder.pid()));
  Kindprozess neu(start(imBuendel));
  EXPECT_TRUE(endeteMit(neu.warten(5s), 0));
  EXPECT_TRUE(fremder.laeuft());
  const std::string zeile = "Taler Wacht: Prozess " + std::to_string(fremder.pid()) + " ist nicht unser (" +
                            *prozessPfad(fremder.pid()) + ") — nicht beendet\n";
  std::string erwartet;
  for (int i = 0; i < 8; ++i) erwartet += zeile;
  // Only the app's own lines: the desktop libraries may warn about the session.
  std::string eigene;
  std::istringstream zeilen(neu.fehler());
  for (std::string z; std::getline(zeilen, z);)
    if (z.starts_with("Taler Wacht: ")) eigene += z + "\n";
  EXPECT_EQ(eigene, erwartet);
}

TEST_F(Kopien, VonZehnGleichzeitigenBleibtEines) {
  std::vector<std::unique_ptr<Kindprozess>> kopien;
  for (int i = 0; i < 10; ++i) kopien.push_back(std::make_unique<Kindprozess>(start(imBuendel)));
  // Each copy takes over from the one before; each starts the desktop side
  // before it asks for the lock, so wait until the handing over has settled.
  std::vector<pid_t> laufend;
  bisZu(30s, [&] {
    laufend.clear();
    for (auto& kopie : kopien)
      if (kopie->laeuft()) laufend.push_back(kopie->pid());
    return laufend.size() == 1 && pidDatei() == laufend[0];
  });
  ASSERT_EQ(laufend.size(), 1u);
  EXPECT_EQ(pidDatei(), laufend[0]);
}

TEST_F(Kopien, SigtermEndetGeordnet) {
  Kindprozess kopie(start(imBuendel));
  ASSERT_TRUE(bisZu(5s, [&] { return haelt(kopie); }));
  ::kill(kopie.pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(kopie.warten(5s), 0));
  EXPECT_FALSE(std::filesystem::exists(zustand / "menue.pid"));
}

}  // namespace tw
