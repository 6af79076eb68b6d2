// The wiring against a real gnome-keyring-daemon of the test's own, on a bus of its own: the test locks,
// stops and kills it. What each answer means is vault/schluesselbundregeln's, tested there.

#include "platform/linux/libsecret_schluesselbund.h"

#include <signal.h>

#include <iostream>
#include <sstream>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/eigener_bus.h"
#include "test.h"
#include "vault/passphrase.h"

namespace tw {
namespace {

using namespace std::literals;

struct Schluesselbund : ::testing::Test {
  // A shell command with the test's folder as home and keyring; must succeed.
  std::string sh(const std::string& text) {
    Kindprozess kind(
        {.argumente = {"/bin/sh", "-c", text}, .umgebung = umgebung(ort), .ohne = {"GELD_BOTE_ZUSTAND"}});
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
  void sperren() {
    sh("gdbus call --session -d org.freedesktop.secrets -o /org/freedesktop/secrets -m "
       "org.freedesktop.Secret.Service.Lock \"['/org/freedesktop/secrets/aliases/default']\"");
  }

  TempOrdner ordner;
  const std::string ort = ordner.pfad();
  std::optional<Kindprozess> daemon;
  LibsecretSchluesselbund bund;
};

TEST_F(Schluesselbund, SchreibtFindetAendertLoeschtFragtNurWoDerNutzerHandeltUndBegrenzt) {
  ASSERT_TRUE(eigenerSchluesselbund(daemon, ort));
  // A daemon the bus started on demand would find this keyring, as on a desktop.
  sh("dbus-update-activation-environment XDG_DATA_HOME=" + ort + " XDG_RUNTIME_DIR=" + ort);
  Kindprozess bus({{"/usr/bin/env", "dbus-monitor", "--session", "member=CreateItem", "member=Unlock",
                    "member=SearchItems", "member=GetId", "interface=org.freedesktop.Secret.Prompt"}});
  ASSERT_TRUE(bisZu(10s, [&] { return bus.ausgabe().find("NameLost") != std::string::npos; }));
  // What the monitor saw from `ab` on, once every call before has reached it.
  const auto gesehen = [&](std::size_t ab = 0) {
    const std::size_t bisher = bus.ausgabe().size();
    sh("gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.GetId");
    EXPECT_TRUE(bisZu(10s, [&] { return bus.ausgabe().find("member=GetId", bisher) != std::string::npos; }));
    return bus.ausgabe().substr(ab);
  };
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

  // Locked, the look-up searches only the unlocked session collection (KeePassXC raises its dialog for
  // any other search) and a read without the owner's confirmation does not ask.
  passphraseMerken(bund, Geheimnis(besonders));
  sperren();
  const std::size_t vorher = gesehen().size();
  EXPECT_EQ(gemerkt(), Gemerkt::unklar);
  for (const char* nie : {"path=/org/freedesktop/secrets;", "/collection/login;"})
    EXPECT_EQ(gesehen(vorher).find(nie), std::string::npos) << nie;
  EXPECT_FALSE(passphraseLesen(bund, nullptr));
  // gnome-keyring adds a schema when it reloads its file, so only the call tells whether we sent one.
  const std::string bisher = gesehen();
  EXPECT_NE(bisher.find("tresor-passphrase"), std::string::npos);
  for (const char* nie : {"xdg:schema", "member=Unlock", "Secret.Prompt"})
    EXPECT_EQ(bisher.find(nie), std::string::npos) << nie << " in " << bisher;

  // Forgetting and remembering while locked ask through the desktop's prompter (started by the bus), where
  // a person types the keyring's password.
  ProtokollMitschnitt protokoll;
  for (const auto& [schritt, erwartet] : {std::pair{"vergessen", Gemerkt::nein}, {"merken", Gemerkt::ja}}) {
    sperren();
    Kindprozess person(
        {{"/bin/sh", "-c",
          "w=$(xdotool search --sync --onlyvisible --classname gcr-prompter | head -n1) && xdotool windowfocus "
          "--sync $w && xdotool type --delay 20 testwort && xdotool key Return"}});
    EXPECT_TRUE(schritt == "vergessen"s ? passphraseVergessen(bund)
                                        : passphraseMerken(bund, Geheimnis("neu")))
        << schritt;
    EXPECT_TRUE(endeteMit(person.warten(10s), 0)) << person.fehler();
    EXPECT_EQ(gemerkt(), erwartet) << schritt;
  }
  // The prompter lingers a while after its last prompt; it is ours, on our bus.
  sh("p=$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m "
     "org.freedesktop.DBus.GetConnectionUnixProcessID org.gnome.keyring.SystemPrompter 2>/dev/null) && "
     "{ p=${p#*uint32 }; kill \"${p%%,*}\"; }; true");

  // Stopped or gone, it does not tell, with one log line per streak and no daemon started on demand.
  sperren();
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
  EXPECT_EQ(passphraseLesen(bund, nullptr), "neu");
}

// The same steps with each provider people use, one row each; TW_ANBIETER picks them
// (scripts/schluesselbuende.sh runs all). By default KeePassXC with its access confirmation,
// the one that answers with prompts of its own.
TEST_F(Schluesselbund, JederAnbieterMerktLiestUndVergisst) {
  eigenerBus();
  std::stringstream namen(::getenv("TW_ANBIETER") ?: "keepassxc-bestaetigen");
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
