// Against a real gnome-keyring-daemon of the test's own, on a bus of its own: the test locks, stops and
// kills it, and the item's identity is the app's, which tests running beside must not touch.

#include "platform/linux/libsecret_schluesselbund.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <iostream>
#include <sstream>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/eigener_bus.h"
#include "vault/passphrase.h"

namespace tw {
namespace {

using namespace std::literals;

struct Schluesselbund : ::testing::Test {
  // A shell command with the test's folder as home and keyring; must succeed.
  std::string sh(const std::string& text) {
    Kindprozess kind({.argumente = {"/bin/sh", "-c", text},
                      .umgebung = {{"HOME", ort},
                                   {"XDG_CONFIG_HOME", ort},
                                   {"XDG_DATA_HOME", ort},
                                   {"XDG_RUNTIME_DIR", ort}},
                      .ohne = {"GELD_BOTE_ZUSTAND"}});
    EXPECT_TRUE(endeteMit(kind.warten(10s), 0)) << text << ": " << kind.fehler();
    return kind.ausgabe();
  }
  // Whether a passphrase counts as remembered, and that the answer came within the bound.
  Gemerkt gemerkt() {
    const auto beginn = std::chrono::steady_clock::now();
    const Gemerkt ja = passphraseGemerkt(bund);
    EXPECT_LT(std::chrono::steady_clock::now() - beginn, 2s);
    return ja;
  }

  TempOrdner ordner;
  const std::string ort = ordner.pfad();
  std::optional<Kindprozess> daemon;
  LibsecretSchluesselbund bund;
};

TEST_F(Schluesselbund, EinEintragFuerAlleWerkzeugeOhneNachfrageUndBegrenzt) {
  ASSERT_TRUE(eigenerSchluesselbund(daemon, ort));
  // A daemon the bus started on demand would find this keyring, as on a desktop.
  sh("dbus-update-activation-environment XDG_DATA_HOME XDG_RUNTIME_DIR");
  Kindprozess bus({{"/usr/bin/env", "dbus-monitor", "--session", "member=CreateItem", "member=Unlock",
                    "interface=org.freedesktop.Secret.Prompt"}});
  ASSERT_TRUE(bisZu(10s, [&] { return bus.ausgabe().find("NameLost") != std::string::npos; }));
  const std::string besonders = "ä€ 🙂 100% & a=b";
  const std::string eintrag = " service de.talerwacht.geld-bote.demo account tresor-passphrase";
  passphraseMerken(bund, Geheimnis("erste"));
  passphraseMerken(bund, Geheimnis(besonders));
  EXPECT_EQ(passphraseLesen(bund, nullptr), besonders);
  EXPECT_EQ(sh("secret-tool lookup" + eintrag), besonders);
  EXPECT_EQ(sh("secret-tool search --all" + eintrag + " 2>&1 | grep -E '^(label|attribute)' | sort"),
            "attribute.account = tresor-passphrase\nattribute.service = de.talerwacht.geld-bote.demo\n"
            "label = Taler Wacht — Tresor\n");
  // Each way to forget: the desktop's tool, the bundle's reset, the app's own.
  for (const auto& vergessen : {"secret-tool clear" + eintrag, "'" TW_STARTEN "' --zuruecksetzen"s, ""s}) {
    passphraseMerken(bund, Geheimnis(besonders));
    vergessen.empty() ? void(passphraseVergessen(bund)) : void(sh(vergessen));
    EXPECT_EQ(gemerkt(), Gemerkt::nein) << vergessen;
  }

  // Locked, nobody can tell without asking, and reading it does not ask to unlock.
  passphraseMerken(bund, Geheimnis(besonders));
  sh("gdbus call --session -d org.freedesktop.secrets -o /org/freedesktop/secrets -m "
     "org.freedesktop.Secret.Service.Lock \"['/org/freedesktop/secrets/aliases/default']\"");
  EXPECT_EQ(gemerkt(), Gemerkt::unklar);
  EXPECT_FALSE(passphraseLesen(bund, nullptr));

  // Stopped or gone, it does not, with one log line per streak and no daemon started on demand.
  ProtokollMitschnitt protokoll;
  ::kill(daemon->pid(), SIGSTOP);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(gemerkt(), Gemerkt::unklar);
  EXPECT_EQ(protokoll.zeilen().size(), 1u);
  ::kill(daemon->pid(), SIGCONT);
  EXPECT_EQ(gemerkt(), Gemerkt::unklar);  // still locked
  daemon.reset();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(gemerkt(), Gemerkt::nein);
  EXPECT_EQ(protokoll.zeilen().size(), 2u);
  EXPECT_FALSE(sh("gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m "
                  "org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets")
                   .starts_with("(true"))
      << "a keyring daemon was started on demand";
  // A new daemon on the same keyring, unlocked again: the same object finds the item.
  ASSERT_TRUE(eigenerSchluesselbund(daemon, ort));
  EXPECT_EQ(passphraseLesen(bund, nullptr), besonders);

  // gnome-keyring adds a schema when it reloads its file, so only the call tells whether we sent one.
  const std::string gesehen = bus.ausgabe();
  EXPECT_NE(gesehen.find("tresor-passphrase"), std::string::npos);
  for (const char* nie : {"xdg:schema", "member=Unlock", "Secret.Prompt"})
    EXPECT_EQ(gesehen.find(nie), std::string::npos) << nie << " in " << gesehen;
}

// The desktop's own prompt (gcr-prompter, started by the bus) on the test display, or on one that
// does not exist; a person types the keyring's password into it.
TEST_F(Schluesselbund, GesperrtFragtNurWoDerNutzerHandelt) {
  ASSERT_TRUE(eigenerSchluesselbund(daemon, ort));
  const std::string anzeige = ::getenv("DISPLAY") ?: "";
  const auto sperren = [&] {
    sh("gdbus call --session -d org.freedesktop.secrets -o /org/freedesktop/secrets -m "
       "org.freedesktop.Secret.Service.Lock \"['/org/freedesktop/secrets/aliases/default']\"");
  };
  const auto person = [] {
    return Kindprozess(
        {{"/bin/sh", "-c",
          "w=$(xdotool search --sync --onlyvisible --name . | head -n1) && xdotool windowfocus "
          "--sync $w && xdotool type --delay 20 testwort && xdotool key Return"}});
  };
  ASSERT_TRUE(passphraseMerken(bund, Geheimnis("alt")));
  sperren();
  sh("dbus-update-activation-environment DISPLAY=:9999");
  ProtokollMitschnitt protokoll;
  EXPECT_FALSE(passphraseVergessen(bund));
  EXPECT_EQ(gemerkt(), Gemerkt::unklar);
  EXPECT_FALSE(protokoll.zeilen().empty());

  sh("dbus-update-activation-environment DISPLAY=" + anzeige);
  for (const auto& [schritt, erwartet] : {std::pair{"vergessen", Gemerkt::nein}, {"merken", Gemerkt::ja}}) {
    sperren();
    auto antwort = person();
    EXPECT_TRUE(schritt == "vergessen"s ? passphraseVergessen(bund)
                                        : passphraseMerken(bund, Geheimnis("neu")))
        << schritt;
    EXPECT_TRUE(endeteMit(antwort.warten(10s), 0)) << antwort.fehler();
    EXPECT_EQ(gemerkt(), erwartet) << schritt;
  }
  EXPECT_EQ(passphraseLesen(bund, nullptr), "neu");
  // The prompter lingers a while after its last prompt; it is ours, on our bus.
  sh("p=$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m "
     "org.freedesktop.DBus.GetConnectionUnixProcessID org.gnome.keyring.SystemPrompter 2>/dev/null) && "
     "{ p=${p#*uint32 }; kill \"${p%%,*}\"; }; true");
}

// The same steps with each provider people use, one row each; TW_ANBIETER picks them
// (scripts/schluesselbuende.sh runs all four).
TEST_F(Schluesselbund, JederAnbieterMerktLiestUndVergisst) {
  eigenerBus();
  std::stringstream namen(::getenv("TW_ANBIETER") ?: "keepassxc,keepassxc-bestaetigen");
  const std::string fenster = "xdotool search --onlyvisible --name . | sort";
  const std::string haupt =
      "gdbus call --session -d org.keepassxc.KeePassXC.MainWindow -o /keepassxc -m "
      "org.keepassxc.KeePassXC.MainWindow.";
  const Besitzerkontext bestaetigt{.bestaetigt = true};
  for (std::string anbieter; std::getline(namen, anbieter, ',');) {
    SCOPED_TRACE(anbieter);
    const std::string heim = ort + "/" + anbieter;
    std::filesystem::create_directory(heim);
    daemon.emplace(Start{
        .argumente = {TW_GEHEIMDIENST, anbieter},
        .umgebung = {
            {"HOME", heim}, {"XDG_CONFIG_HOME", heim}, {"XDG_DATA_HOME", heim}, {"XDG_RUNTIME_DIR", heim}}});
    ASSERT_TRUE(bisZu(30s, [&] { return std::filesystem::exists(heim + "/geheimdienst.bereit"); }))
        << daemon->fehler();
    const bool gespeichert = passphraseMerken(bund, Geheimnis("a ä"));
    const bool gelesen = passphraseLesen(bund, &bestaetigt) == "a ä";
    // Locked, the look-up raises no dialog of the provider's and does not say "nothing remembered".
    std::string gesperrt = "-";
    if (anbieter.starts_with("keepassxc")) {
      const std::string vorher = sh(fenster + "; " + haupt + "lockAllDatabases >/dev/null");
      const auto beginn = std::chrono::steady_clock::now();
      EXPECT_NE(gemerkt(), Gemerkt::nein);
      gesperrt = std::to_string((std::chrono::steady_clock::now() - beginn) / 1ms) + " ms";
      EXPECT_EQ(sh("sleep 1; " + fenster), vorher) << "a dialog appeared";
      sh(haupt + "openDatabase '" + heim + "/geheimdienst/taler.kdbx' testwort");
    }
    const bool vergessen = passphraseVergessen(bund) && gemerkt() == Gemerkt::nein;
    EXPECT_TRUE(gespeichert && gelesen && vergessen);
    std::cout << "anbieter " << anbieter << " | merken " << gespeichert << " | lesen " << gelesen
              << " | gesperrt " << gesperrt << " | vergessen " << vergessen << "\n";
    daemon.reset();
  }
}

}  // namespace
}  // namespace tw
