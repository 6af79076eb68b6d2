// The whole app from its bundle, seen as a desktop's tray sees it: its item
// registers with a watcher of the test's own, its menu is read and clicked
// over D-Bus, and the stand-in server drives the states.

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "app/dateien.h"
#include "beobachter.h"
#include "eintrag.h"
#include "helfer/eigener_bus.h"
#include "helfer/kindprozess.h"
#include "helfer/roh_server.h"
#include "lifecycle/prozesse.h"
#include "menue.h"
#include "status/abrufen.h"
#include "status/sammeln.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using leiste::Zeile;

// The app from the build's bundle with its files in a folder of the test's.
// On the first launch it starts the stand-in, which outlives the app by
// design; the test ends it with this world.
struct Appwelt {
  TempOrdner welt;
  fs::path heim = welt / "heim";
  fs::path zustand = welt / "zustand";
  std::string port = std::to_string(freierPort());

  ~Appwelt() {
    const auto pid = lesen(zustand / "tunnel.pid");
    if (pid && prozessIstUnser(std::stoi(*pid))) ::kill(std::stoi(*pid), SIGTERM);
  }
  Start app() const {
    return {.argumente = {TW_IM_BUENDEL},
            .umgebung = {{"HOME", heim.string()},
                         {"XDG_CONFIG_HOME", (heim / ".config").string()},
                         {"GELD_BOTE_ZUSTAND", zustand.string()},
                         {"GELD_BOTE_PORT", port}}};
  }
};

struct Schale : ::testing::Test, Appwelt {
  leiste::Beobachter beobachter;
  std::optional<leiste::Eintrag> eintrag;
  std::string menuePfad;

  std::vector<Zeile> zeilen() { return leiste::menueLesen(eintrag->bus, menuePfad).zeilen; }
  const Zeile* zeile(const std::vector<Zeile>& z, std::string_view titel) {
    for (const auto& r : z)
      if (r.sichtbar && r.titel == titel) return &r;
    return nullptr;
  }
  // Runs the bus until the menu has a row with this title.
  std::vector<Zeile> bisZeile(std::string_view titel, std::chrono::milliseconds frist = 20s) {
    std::vector<Zeile> z;
    leiste::kontextLaufen(frist, [&] {
      z = zeilen();
      return zeile(z, titel) != nullptr;
    });
    return z;
  }
  void klicken(const std::vector<Zeile>& z, std::string_view titel) {
    const Zeile* r = zeile(z, titel);
    ASSERT_NE(r, nullptr) << titel;
    EXPECT_EQ(leiste::klicken(eintrag->bus, menuePfad, r->id), "");
  }
};

TEST_F(Schale, MenueUeberDBusFolgtDemServer) {
  ASSERT_TRUE(beobachter.bereit()) << beobachter.fehler();
  Kindprozess programm(app());
  eintrag = beobachter.warten(20s);
  ASSERT_TRUE(eintrag) << programm.fehler();
  const auto daten = leiste::eintragLesen(*eintrag);
  ASSERT_EQ(daten.fehler, "");
  menuePfad = daten.menuePfad;

  // First launch from the bundle starts the stand-in; its vault is not set up.
  auto z = bisZeile("Für ChatGPT & Co.: läuft");
  ASSERT_NE(zeile(z, "Tresor noch nicht eingerichtet"), nullptr) << leiste::zeilenAlsText(z);
  EXPECT_FALSE(zeile(z, "Taler Wacht 1.7.2_demo")->aktiv);
  EXPECT_TRUE(zeile(z, "Anhalten")->aktiv);
  EXPECT_EQ(zeile(z, "Beim Anmelden starten")->haken, leiste::Haken::aus);
  EXPECT_TRUE(zeile(z, "Taler Wacht beenden")->aktiv);
  z = bisZeile("Einrichten …");
  EXPECT_TRUE(zeile(z, "Einrichten …")->aktiv) << leiste::zeilenAlsText(z);

  // Set up the vault through the stand-in's page: open, with time left.
  Sammelquellen q{zustand, heim / ".config/geld-bote-demo", port, "1.7.2_demo"};
  const Zustand jetzt = sammeln(q);
  ASSERT_FALSE(jetzt.eigeneSeiten.empty());
  EXPECT_EQ(
      abrufen(jetzt.eigeneSeiten[0].mitKomponente("einrichten"), "POST", {{"passphrase", "geheim-genug-1"}})
          .status,
      200);
  z = bisZeile("Tresor sperren");
  ASSERT_NE(zeile(z, "Tresor sperren"), nullptr) << leiste::zeilenAlsText(z);
  EXPECT_TRUE(zeile(z, "Tresor sperren")->aktiv);
  // The label, and the title for hosts that show only that.
  const auto mitRestzeit = [&] {
    const auto daten = leiste::eintragLesen(*eintrag);
    return daten.beschriftung.starts_with(" 30 min") && daten.titel.starts_with("Taler Wacht · 30 min");
  };
  EXPECT_TRUE(leiste::kontextLaufen(5s, mitRestzeit))
      << leiste::eintragLesen(*eintrag).titel << "|" << leiste::zeilenAlsText(z);

  // A click on "Anhalten", then on "Starten", over D-Bus.
  klicken(z, "Anhalten");
  z = bisZeile("Für ChatGPT & Co.: angehalten");
  ASSERT_NE(zeile(z, "Starten"), nullptr) << leiste::zeilenAlsText(z);
  EXPECT_TRUE(zeile(z, "Starten")->aktiv);
  EXPECT_EQ(zeile(z, "Anhalten"), nullptr);
  klicken(z, "Starten");
  z = bisZeile("Für ChatGPT & Co.: läuft");
  ASSERT_NE(zeile(z, "Anhalten"), nullptr) << leiste::zeilenAlsText(z);
  const auto server = lesen(zustand / "tunnel.pid");
  ASSERT_TRUE(server);
  EXPECT_TRUE(prozessIstUnser(std::stoi(*server)));

  ::kill(programm.pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(programm.warten(10s), 0)) << programm.fehler();
  EXPECT_FALSE(fs::exists(zustand / "menue.pid"));
}

// A running program of an older version gives way to the bundle's own, and
// the start script is not called again once it has.
TEST(Ersetzen, AltesProgrammWeichtDemDesBuendels) {
  eigenerBus();
  Appwelt w;
  Kindprozess altesProgramm({{TW_GELD_BOTE, "--programm", "--fassung", "1.6.0"}, w.app().umgebung});
  ASSERT_NE(bereitePort(altesProgramm), 0) << altesProgramm.fehler();
  Kindprozess programm(w.app());
  const Sammelquellen q{w.zustand, w.heim / ".config/geld-bote-demo", w.port, "1.7.2_demo"};
  Zustand z;
  EXPECT_TRUE(bisZu(15s, [&] { return !(z = sammeln(q)).eigeneSeiten.empty(); }))
      << lesen(w.zustand / "start.log").value_or("");
  EXPECT_TRUE(z.programmLaeuft && !z.programmVeraltet);
  EXPECT_NE(z.programmPid, altesProgramm.pid());
  std::this_thread::sleep_for(8s);  // longer than the app's pause between replacements
  const auto log = lesen(w.zustand / "start.log").value_or("");
  EXPECT_EQ(log.find("wird gestartet"), log.rfind("wird gestartet")) << log;
}

// Without any tray the app says so once, keeps running behind a legacy tray
// icon of its own making, and still ends in order.
TEST(OhneLeiste, LaeuftWeiterUndEndetGeordnet) {
  eigenerBus();  // no watcher on it
  for (int lauf = 0; lauf < 3; ++lauf) {
    Appwelt w;
    Kindprozess programm(w.app());
    ASSERT_TRUE(bisZu(20s, [&] {
      return programm.fehler().find("kann nicht erscheinen") != std::string::npos;
    })) << programm.fehler();
    EXPECT_FALSE(bisZu(2s, [&] { return !programm.laeuft(); })) << programm.fehler();
    ::kill(programm.pid(), SIGTERM);
    EXPECT_TRUE(endeteMit(programm.warten(10s), 0)) << programm.fehler();
  }
}

}  // namespace
}  // namespace tw
