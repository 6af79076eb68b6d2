// The whole app from its bundle, seen as a desktop's tray sees it: its item
// registers with a watcher of the test's own, its menu is read and clicked
// over D-Bus, and the stand-in server drives the states.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <thread>

#include "app/dateien.h"
#include "beobachter.h"
#include "eintrag.h"
#include "helfer/eigener_bus.h"
#include "helfer/kindprozess.h"
#include "helfer/roh_server.h"
#include "helfer/speichersuche.h"
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
    ASSERT_NE(r, nullptr) << titel << " not in:\n" << leiste::zeilenAlsText(z);
    EXPECT_EQ(leiste::klicken(eintrag->bus, menuePfad, r->id), "");
  }
  // Waits for the app's item on the watcher and reads where its menu is.
  void erscheinen(Kindprozess& programm) {
    ASSERT_TRUE(beobachter.bereit()) << beobachter.fehler();
    // A new run's item, not one of a run that has just ended.
    const std::string vorher = eintrag ? eintrag->bus : "";
    ASSERT_TRUE(leiste::kontextLaufen(20s, [&] {
      for (const auto& e : beobachter.eintraege())
        if (e.bus != vorher) eintrag = e;
      return eintrag && eintrag->bus != vorher;
    })) << programm.fehler();
    const auto daten = leiste::eintragLesen(*eintrag);
    ASSERT_EQ(daten.fehler, "");
    menuePfad = daten.menuePfad;
  }
};

TEST_F(Schale, MenueUeberDBusFolgtDemServer) {
  Start start = app();
  start.argumente.push_back("--seite");  // finished loads of the setup window are written down
  Kindprozess programm(start);
  erscheinen(programm);

  // A first launch: the setup window waits for the stand-in, then shows its page.
  std::vector<std::string> geladen;
  EXPECT_TRUE(leiste::kontextLaufen(20s, [&] {
    const auto zeile = lesen(zustand / "menue.fenster.log");
    if (zeile && (geladen.empty() || geladen.back() != *zeile)) geladen.push_back(*zeile);
    return zeile && zeile->starts_with("geladen http");
  }));
  ASSERT_EQ(geladen.size(), 2u);
  EXPECT_EQ(geladen[0], "geladen about:blank");
  EXPECT_TRUE(geladen[1].starts_with("geladen http://127.0.0.1:" + port + "/t/")) << geladen[1];

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

// A keyring of the test's own on a bus of its own, so that the remembered
// passphrase of tests running beside it is another item. Built before the
// tray watcher joins the bus.
struct EigenerSchluesselbund {
  TempOrdner ort;
  std::optional<Kindprozess> daemon;
  EigenerSchluesselbund() {
    eigenerBus();
    std::filesystem::create_directories(ort / "daten");
    std::filesystem::create_directories(ort / "laufzeit");
    daemon.emplace(Start{
        .argumente =
            {"/bin/sh", "-c",
             "printf %s testwort | exec gnome-keyring-daemon --foreground --unlock --components=secrets"},
        .umgebung = {{"XDG_DATA_HOME", (ort / "daten").string()},
                     {"XDG_RUNTIME_DIR", (ort / "laufzeit").string()}}});
    Kindprozess warten(
        {{"/usr/bin/env", "gdbus", "wait", "--session", "--timeout", "10", "org.freedesktop.secrets"}});
    warten.warten(15s);
  }
};

// Owner confirmation through pam_matrix: the user's login password is "anmeldewort".
struct Tresorschale : EigenerSchluesselbund, Schale {
  const std::string passphrase = "geheim-genug-1";
  Start appMitPam() {
    const fs::path dienste = welt / "pam";
    fs::create_directories(dienste);
    schreibenPrivat("auth required " TW_PAM_MATRIX "\naccount required " TW_PAM_MATRIX "\n",
                    dienste / "taler-wacht");
    schreibenPrivat(std::string(::getpwuid(::getuid())->pw_name) + ":anmeldewort:taler-wacht\n",
                    welt / "matrix");
    Start s = app();
    s.umgebung.insert({{"LD_PRELOAD", TW_PAM_VORLADEN},
                       {"PAM_WRAPPER", "1"},
                       {"PAM_WRAPPER_DISABLE_DEEPBIND", "1"},  // deep binding and the sanitizers do not mix
                       {"PAM_WRAPPER_SERVICE_DIR", dienste.string()},
                       {"PAM_MATRIX_PASSWD", (welt / "matrix").string()},
                       // WebKit's helpers inherit the preload, which cannot start in their sandbox.
                       {"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1"}});
    return s;
  }
  // Keys typed into the app's dialog as a person would, with the dialog focused;
  // only the app's own alert (the setup window has a class name of its own),
  // as other tests may show theirs on this display. Searched without xdotool's
  // --sync, which may answer with a window that does not match.
  void tippen(pid_t pid, const std::vector<std::string>& xdotool) {
    std::string fenster;
    EXPECT_TRUE(bisZu(10s, [&] {
      Kindprozess suche({{"/usr/bin/env", "xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid),
                          "--classname", "^taler-wacht$"}});
      fenster = endeteMit(suche.warten(5s), 0) ? suche.ausgabe().substr(0, suche.ausgabe().find('\n')) : "";
      return !fenster.empty();
    }));
    std::vector<std::string> befehl{"/usr/bin/env", "xdotool", "windowfocus", "--sync", fenster};
    befehl.insert(befehl.end(), xdotool.begin(), xdotool.end());
    Kindprozess tasten({befehl});
    ASSERT_TRUE(endeteMit(tasten.warten(10s), 0)) << tasten.fehler();
  }
  std::optional<std::string> gemerkt() {
    Kindprozess suche({{"/usr/bin/env", "secret-tool", "lookup", "service", "de.talerwacht.geld-bote.demo",
                        "account", "tresor-passphrase"}});
    if (!endeteMit(suche.warten(10s), 0)) return std::nullopt;
    return suche.ausgabe();
  }
  void kopienZaehlen(pid_t pid, const char* wann) {
    const auto funde = speicherDurchsuchen(pid, passphrase);
    std::cout << "Kopien der Passphrase " << wann << ": " << funde.size() << "\n";
    EXPECT_TRUE(funde.empty()) << "copies of the passphrase left in the app's memory, first in "
                               << (funde.empty() ? "" : funde[0].abbildung);
  }
};

// The app's longest pause in answering its menu while the vault actions run,
// printed as a figure for the measurement script.
struct Pausenmesser {
  std::atomic<bool> halt{false};
  long laengsteMs = 0;
  std::thread faden;
  Pausenmesser(std::string bus, std::string pfad)
      : faden([this, bus, pfad] {
          for (; !halt; std::this_thread::sleep_for(5ms)) {
            const auto vorher = std::chrono::steady_clock::now();
            leiste::menueLesen(bus, pfad);
            laengsteMs = std::max<long>(laengsteMs, (std::chrono::steady_clock::now() - vorher) / 1ms);
          }
        }) {}
  ~Pausenmesser() {
    halt = true;
    faden.join();
    std::cout << "längste Antwortpause des Menüs: " << laengsteMs << " ms\n";
  }
};

TEST_F(Tresorschale, EntsperrenSperrenMerkenUndVergessenUeberDasMenue) {
  std::optional<Kindprozess> programm(appMitPam());
  erscheinen(*programm);
  bisZeile("Einrichten …");
  Sammelquellen q{zustand, heim / ".config/geld-bote-demo", port, "1.7.2_demo"};
  ASSERT_EQ(
      abrufen(sammeln(q).eigeneSeiten.at(0).mitKomponente("einrichten"), "POST", {{"passphrase", passphrase}})
          .status,
      200);
  klicken(bisZeile("Tresor sperren"), "Tresor sperren");

  // Typed, and remembered.
  auto messer = std::make_optional<Pausenmesser>(eintrag->bus, menuePfad);
  klicken(bisZeile("Tresor entsperren …"), "Tresor entsperren …");
  tippen(programm->pid(), {"type", "--delay", "15", passphrase});
  tippen(programm->pid(), {"key", "Tab", "space", "shift+Tab", "Return"});
  auto z = bisZeile("Tresor sperren");
  ASSERT_NE(zeile(z, "Gemerkte Passphrase vergessen"), nullptr) << leiste::zeilenAlsText(z);
  EXPECT_EQ(gemerkt(), passphrase);
  kopienZaehlen(programm->pid(), "nach dem getippten Entsperren");
  EXPECT_EQ(programm->fehler().find("CRITICAL"), std::string::npos) << programm->fehler();

  messer.reset();
  // A new run offers the remembered passphrase behind the owner's password.
  ::kill(programm->pid(), SIGTERM);
  ASSERT_TRUE(endeteMit(programm->warten(10s), 0)) << programm->fehler();
  programm.emplace(appMitPam());
  erscheinen(*programm);
  messer.emplace(eintrag->bus, menuePfad);
  bisZeile("Gemerkte Passphrase vergessen", 30s);
  z = bisZeile("Tresor sperren", 30s);  // a new run may first see the vault as unknown
  ASSERT_NE(zeile(z, "Gemerkte Passphrase vergessen"), nullptr)
      << leiste::zeilenAlsText(z) << programm->fehler();
  klicken(z, "Tresor sperren");
  klicken(bisZeile("Tresor entsperren"), "Tresor entsperren");
  tippen(programm->pid(), {"type", "--delay", "15", "anmeldewort"});
  tippen(programm->pid(), {"key", "Return"});
  z = bisZeile("Tresor sperren");
  ASSERT_NE(zeile(z, "Tresor sperren"), nullptr) << leiste::zeilenAlsText(z) << programm->fehler();
  kopienZaehlen(programm->pid(), "nach dem Entsperren mit der gemerkten");

  klicken(z, "Gemerkte Passphrase vergessen");
  z = bisZeile("Tresor sperren");
  EXPECT_TRUE(leiste::kontextLaufen(5s, [&] { return !zeile(zeilen(), "Gemerkte Passphrase vergessen"); }));
  EXPECT_EQ(gemerkt(), std::nullopt);
  klicken(z, "Tresor sperren");
  bisZeile("Tresor entsperren …");
  ASSERT_NE(zeile(zeilen(), "Tresor entsperren …"), nullptr) << leiste::zeilenAlsText(zeilen());
  messer.reset();
  ::kill(programm->pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(programm->warten(10s), 0)) << programm->fehler();
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
