// The whole app from its bundle in a tray of the test's; the stand-in server drives the states.

#include <pwd.h>
#include <unistd.h>

#include <iostream>
#include <thread>

#include "app/appwelt.h"
#include "helfer/mitteilungsdienst.h"
#include "helfer/speichersuche.h"
#include "test.h"

namespace tw {
namespace {

// A web engine that cannot start its sandbox ends the window program, not the app: the user is
// told, and the tray goes on.
TEST_F(Schale, FensterprogrammOhneSandboxLaesstDieLeisteStehen) {
  const fs::path bwrap = welt / "bwrap";
  dateiSchreiben(bwrap, "#!/bin/sh\necho 'bwrap: No permissions to create new namespace' >&2\nexit 1\n");
  fs::permissions(bwrap, fs::perms::owner_all);
  Start start = app();
  // The refusing bubblewrap stands in for the system's in a mount namespace of the app's own.
  std::vector<std::string> vorne{"/usr/bin/unshare", "--mount", "--propagation", "private"};
  if (::geteuid() != 0) vorne.insert(vorne.begin() + 1, "--map-root-user");
  vorne.insert(vorne.end(), {"/bin/sh", "-c", "mount --bind \"$0\" /usr/bin/bwrap && exec \"$@\"", bwrap});
  start.argumente.insert(start.argumente.begin(), vorne.begin(), vorne.end());
  starten(start);
  // A first launch opens the window at once.
  ASSERT_TRUE(leiste::kontextLaufen(30s, [&] {
    return programm->fehler().find("Einrichtungsfenster ausgefallen: das Fensterprogramm endete") !=
           std::string::npos;
  })) << programm->fehler();
  bisZeile("(aus) Für ChatGPT & Co.: läuft");
  tippen({"key", "Escape"});  // the alert, which the search finds only while it is open
  klicken("Anhalten");
  bisZeile("(aus) Für ChatGPT & Co.: angehalten");
  beenden(*programm);
}

// Owner confirmation through pam_matrix: the user's login password is "anmeldewort".
struct Tresorschale : Schluesselbundort, Schale {
  const std::string passphrase = "geheim-genug-1";
  // The app's longest pause in answering its menu while it runs, a figure for the measurement script.
  long laengsteMs = 0;
  std::optional<std::jthread> messer;

  ~Tresorschale() {
    messer.reset();
    std::cout << "längste Antwortpause des Menüs: " << laengsteMs << " ms\n";
  }
  void startenMitPam(std::vector<std::string> argumente = {}) {
    const fs::path dienste = welt / "pam";
    fs::create_directories(dienste);
    schreibenPrivat("auth required " TW_PAM_MATRIX "\naccount required " TW_PAM_MATRIX "\n",
                    dienste / "taler-wacht");
    schreibenPrivat(std::string(::getpwuid(::getuid())->pw_name) + ":anmeldewort:taler-wacht\n",
                    welt / "matrix");
    Start s = app();
    s.argumente.insert(s.argumente.end(), argumente.begin(), argumente.end());
    s.umgebung.insert({{"LD_PRELOAD", TW_PAM_VORLADEN},
                       {"PAM_WRAPPER", "1"},
                       {"PAM_WRAPPER_DISABLE_DEEPBIND", "1"},  // deep binding and the sanitizers do not mix
                       {"PAM_WRAPPER_SERVICE_DIR", dienste.string()},
                       {"PAM_MATRIX_PASSWD", (welt / "matrix").string()},
                       // WebKit's child processes inherit the preload, which cannot start in their sandbox.
                       {"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1"}});
    starten(s);
    messer.emplace([this, bus = eintrag->bus, pfad = menuePfad](std::stop_token halt) {
      for (; !halt.stop_requested(); std::this_thread::sleep_for(5ms)) {
        const auto vorher = std::chrono::steady_clock::now();
        leiste::menueLesen(bus, pfad);
        laengsteMs = std::max<long>(laengsteMs, (std::chrono::steady_clock::now() - vorher) / 1ms);
      }
    });
  }
  std::optional<std::string> gemerkt() {
    Kindprozess suche({{"/usr/bin/env", "secret-tool", "lookup", "service", "de.talerwacht.geld-bote.demo",
                        "account", "tresor-passphrase"}});
    if (!endeteMit(suche.warten(10s), 0)) return std::nullopt;
    return suche.ausgabe();
  }
  void kopienZaehlen(const char* wann) {
    const auto funde = speicherDurchsuchen(programm->pid(), passphrase);
    std::cout << "Kopien der Passphrase " << wann << ": " << funde.size() << "\n";
    EXPECT_TRUE(funde.empty()) << "copies of the passphrase left in the app's memory, first in "
                               << (funde.empty() ? "" : funde[0].abbildung);
  }
};

TEST_F(Tresorschale, EinrichtenEntsperrenMerkenVergessenUndAnhaltenUeberDasMenue) {
  startenMitPam({"--seite"});  // finished loads of the setup window are written down
  // A first launch from the bundle starts the stand-in and shows its page in the setup window,
  // whose web engine runs in the window program, never in the app.
  EXPECT_TRUE(leiste::kontextLaufen(20s, [&] {
    const auto zeile = lesen(zustand / "menue.fenster.log");
    return zeile && zeile->starts_with("geladen http://127.0.0.1:" + port + "/t/");
  })) << lesen(zustand / "menue.fenster.log").value_or("no log");
  const std::string karte = lesen(fs::path("/proc") / std::to_string(programm->pid()) / "maps").value_or("");
  for (const char* bibliothek : {"libwebkit2gtk", "libjavascriptcoregtk", "libLLVM", "libgallium", "_dri.so"})
    EXPECT_EQ(karte.find(bibliothek), std::string::npos) << bibliothek;
  EXPECT_TRUE(hat(bisZeile("(aus) Tresor noch nicht eingerichtet"), "[ ] Beim Anmelden starten"));
  ASSERT_EQ(einrichten(passphrase), 200);
  // Open, with time left on the label, and in the title for hosts that show only that.
  bisZeile("Tresor sperren");
  EXPECT_TRUE(leiste::kontextLaufen(5s, [&] {
    const auto daten = leiste::eintragLesen(*eintrag);
    return daten.beschriftung.starts_with(" 30 min") && daten.titel.starts_with("Taler Wacht · 30 min");
  })) << leiste::eintragLesen(*eintrag).titel;
  klicken("Tresor sperren");

  // Typed, and remembered.
  klicken("Tresor entsperren …");
  tippen({"type", "--delay", "15", passphrase});
  tippen({"key", "Tab", "space", "shift+Tab", "Return"});
  EXPECT_TRUE(hat(bisZeile("Tresor sperren"), "Gemerkte Passphrase vergessen"));
  EXPECT_EQ(gemerkt(), passphrase);
  kopienZaehlen("nach dem getippten Entsperren");
  EXPECT_EQ(programm->fehler().find("CRITICAL"), std::string::npos) << programm->fehler();

  // A new run offers the remembered passphrase behind the owner's password.
  messer.reset();
  beenden(*programm);
  startenMitPam();
  bisZeile("Gemerkte Passphrase vergessen", 30s);
  klicken("Tresor sperren");  // a new run may first see the vault as unknown
  klicken("Tresor entsperren");
  tippen({"type", "--delay", "15", "anmeldewort"});
  tippen({"key", "Return"});
  bisZeile("Tresor sperren");
  kopienZaehlen("nach dem Entsperren mit der gemerkten");

  klicken("Gemerkte Passphrase vergessen");
  EXPECT_TRUE(leiste::kontextLaufen(
      5s, [&] { return !hat(leiste::zeilenAlsText(zeilen()), "Gemerkte Passphrase vergessen"); }));
  EXPECT_EQ(gemerkt(), std::nullopt);
  klicken("Tresor sperren");
  bisZeile("Tresor entsperren …");

  klicken("Anhalten");
  EXPECT_FALSE(hat(bisZeile("(aus) Für ChatGPT & Co.: angehalten"), "Anhalten"));
  klicken("Starten");
  bisZeile("(aus) Für ChatGPT & Co.: läuft");
  const auto server = lesen(zustand / "tunnel.pid");
  EXPECT_TRUE(server && prozessIstUnser(std::stoi(*server)));
  messer.reset();
  beenden(*programm);
  EXPECT_FALSE(fs::exists(zustand / "menue.pid"));
}

// Without a tray the app says so in its log and in a notification that stands in for
// the menu; a tray host that starts later, or again, gets the icon and the notice goes.
TEST(OhneLeiste, MitteilungBisEineLeisteKommt) {
  eigenerBus();  // no watcher on it
  Mitteilungsdienst dienst;
  Appwelt w;
  Kindprozess programm(w.app());
  const auto bis = [](const std::function<bool()>& bedingung) {
    return leiste::kontextLaufen(20s, bedingung);
  };
  ASSERT_TRUE(bis([&] { return dienst.einzige(); })) << programm.fehler();
  EXPECT_NE(programm.fehler().find("kann nicht erscheinen"), std::string::npos);

  // With the vault open the notification offers to lock it, and its button does.
  ASSERT_TRUE(bis([&] { return !w.stand().eigeneSeiten.empty(); }));
  EXPECT_EQ(w.einrichten("geheim-genug-1"), 200);
  ASSERT_TRUE(bis([&] { return dienst.druecken("Tresor sperren"); }));
  EXPECT_TRUE(bis([&] { return w.stand().tresor == "zu"; }));

  std::optional<leiste::Beobachter> beobachter(std::in_place);
  const auto symbolStattMitteilung = [&] { return !beobachter->eintraege().empty() && dienst.offen.empty(); };
  EXPECT_TRUE(bis(symbolStattMitteilung)) << dienst.offen.size();
  beobachter->vergessen();  // a host whose watcher does not know the item
  EXPECT_TRUE(bis(symbolStattMitteilung)) << programm.fehler();
  EXPECT_EQ(leiste::eintragLesen(beobachter->eintraege().front()).fehler, "");
  beobachter.reset();  // the panel goes for good, and then comes back
  EXPECT_TRUE(bis([&] { return dienst.einzige(); }));
  beobachter.emplace();
  EXPECT_TRUE(bis(symbolStattMitteilung));
  beobachter.reset();  // the notice goes with the app
  EXPECT_TRUE(bis([&] { return dienst.einzige(); }));
  beenden(programm);
  EXPECT_TRUE(bis([&] { return dienst.offen.empty(); }));
}

}  // namespace
}  // namespace tw
