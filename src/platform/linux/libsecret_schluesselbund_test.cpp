// The keyring against a real gnome-keyring-daemon: each test starts its own,
// on a session bus of its own, because tests lock, stop and kill it and the
// item's identity is the app's, which tests running beside must not touch.

#include "platform/linux/libsecret_schluesselbund.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/eigener_bus.h"
#include "vault/passphrase.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

const std::string besonders = "ä€ 🙂 100% & a=b";

// Runs a tool found on PATH and returns what it printed (secret-tool prints
// attributes to stderr); it must succeed.
std::string werkzeug(std::vector<std::string> argumente, std::map<std::string, std::string> umgebung = {},
                     bool auchFehlerausgabe = false) {
  argumente.insert(argumente.begin(), "/usr/bin/env");
  Kindprozess kind({.argumente = argumente, .umgebung = umgebung});
  EXPECT_TRUE(endeteMit(kind.warten(10s), 0)) << argumente[1] << ": " << kind.fehler();
  return kind.ausgabe() + (auchFehlerausgabe ? kind.fehler() : "");
}

bool dienstDa() {
  return werkzeug({"gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus",
                   "-m", "org.freedesktop.DBus.NameHasOwner", "org.freedesktop.secrets"})
      .starts_with("(true");
}

// Records the calls on the bus that match the rules, from when it returns.
std::unique_ptr<Kindprozess> beobachten(std::vector<std::string> regeln) {
  regeln.insert(regeln.begin(), {"/usr/bin/env", "dbus-monitor", "--session"});
  auto monitor = std::make_unique<Kindprozess>(Start{.argumente = regeln});
  EXPECT_TRUE(bisZu(10s, [&] { return monitor->ausgabe().find("NameLost") != std::string::npos; }));
  return monitor;
}

// A daemon with an unlocked login keyring, started like the test world's.
struct EigenerSchluesselbund : ::testing::Test {
  EigenerSchluesselbund() {
    eigenerBus();
    std::filesystem::create_directories(ordner / "laufzeit");
    dateiSchreiben(ordner / "passwort", "testwort");
    // A daemon the bus starts on demand would find a keyring here, as on a desktop.
    werkzeug({"gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus", "-m",
              "org.freedesktop.DBus.UpdateActivationEnvironment",
              "{'XDG_DATA_HOME': '" + (ordner / "daten").string() + "', 'XDG_RUNTIME_DIR': '" +
                  (ordner / "laufzeit").string() + "'}"});
    starten();
  }
  void starten() {
    daemon.emplace(
        Start{.argumente = {"/bin/sh", "-c",
                            "exec gnome-keyring-daemon --foreground --unlock --components=secrets <\"$1\"",
                            "sh", (ordner / "passwort").string()},
              .umgebung = {{"XDG_DATA_HOME", (ordner / "daten").string()},
                           {"XDG_RUNTIME_DIR", (ordner / "laufzeit").string()}}});
    ASSERT_TRUE(bisZu(10s, dienstDa)) << daemon->fehler();
  }
  // Whether a passphrase counts as remembered, and that the answer came within the bound.
  bool gemerkt() {
    const auto beginn = std::chrono::steady_clock::now();
    const bool ja = passphraseGemerkt(bund);
    EXPECT_LT(std::chrono::steady_clock::now() - beginn, 2s);
    return ja;
  }

  TempOrdner ordner;
  std::optional<Kindprozess> daemon;
  LibsecretSchluesselbund bund;
};

TEST_F(EigenerSchluesselbund, MerkenErsetzenLesenVergessen) {
  EXPECT_FALSE(gemerkt());
  passphraseMerken(bund, Geheimnis("erste"));
  passphraseMerken(bund, Geheimnis(besonders));
  EXPECT_TRUE(gemerkt());
  // Main thread and a worker at once.
  std::thread arbeiter([&] {
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(passphraseGemerkt(bund));
  });
  for (int i = 0; i < 20; ++i) EXPECT_EQ(passphraseLesen(bund, nullptr).value_or(Geheimnis("-")), besonders);
  arbeiter.join();
  passphraseVergessen(bund);
  EXPECT_FALSE(gemerkt());
  EXPECT_FALSE(passphraseLesen(bund, nullptr));
}

TEST_F(EigenerSchluesselbund, DieWerkzeugeSehenGenauDiesenEintrag) {
  const std::vector<std::string> merkmale = {"service", "de.talerwacht.geld-bote.demo", "account",
                                             "tresor-passphrase"};
  auto mit = [&](std::vector<std::string> vorne) {
    vorne.insert(vorne.end(), merkmale.begin(), merkmale.end());
    return vorne;
  };
  const auto anlegen = beobachten({"member='CreateItem'"});
  passphraseMerken(bund, Geheimnis("erste"));
  passphraseMerken(bund, Geheimnis(besonders));
  EXPECT_NE(anlegen->ausgabe().find("tresor-passphrase"), std::string::npos);
  EXPECT_EQ(anlegen->ausgabe().find("xdg:schema"), std::string::npos) << anlegen->ausgabe();
  EXPECT_EQ(werkzeug(mit({"secret-tool", "lookup"})), besonders);
  std::string eintrag = werkzeug(mit({"secret-tool", "search", "--all"}), {}, true);
  // One item with label and the two attributes. (gnome-keyring adds the
  // schema on reloading its file, so only the call above can tell ours.)
  EXPECT_EQ(std::count(eintrag.begin(), eintrag.end(), '['), 1) << eintrag;
  std::istringstream zeilen(eintrag);
  std::vector<std::string> angaben;
  for (std::string zeile; std::getline(zeilen, zeile);)
    if (zeile.starts_with("label =") || zeile.starts_with("attribute.")) angaben.push_back(zeile);
  EXPECT_EQ(angaben,
            (std::vector<std::string>{"label = Taler Wacht — Tresor", "attribute.account = tresor-passphrase",
                                      "attribute.service = de.talerwacht.geld-bote.demo"}));

  werkzeug(mit({"secret-tool", "clear"}));
  EXPECT_FALSE(gemerkt());

  passphraseMerken(bund, Geheimnis(besonders));
  werkzeug({TW_STARTEN, "--zuruecksetzen"}, {{"HOME", ordner.pfad().string()},
                                             {"XDG_CONFIG_HOME", (ordner / "konfig").string()},
                                             {"GELD_BOTE_ZUSTAND", (ordner / "zustand").string()}});
  EXPECT_FALSE(gemerkt());
}

TEST_F(EigenerSchluesselbund, GesperrtGiltAlsGemerktOhneNachzufragen) {
  passphraseMerken(bund, Geheimnis(besonders));
  const auto nachfragen = beobachten({"member='Unlock'", "interface='org.freedesktop.Secret.Prompt'"});
  werkzeug({"gdbus", "call", "--session", "-d", "org.freedesktop.secrets", "-o", "/org/freedesktop/secrets",
            "-m", "org.freedesktop.Secret.Service.Lock", "['/org/freedesktop/secrets/aliases/default']"});

  EXPECT_TRUE(gemerkt());
  Geheimnis daten;
  EXPECT_EQ(bund.suchen(schluesselbundAbfrage(), {.mitDaten = true}, &daten), errSecInteractionNotAllowed);
  EXPECT_FALSE(passphraseLesen(bund, nullptr));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(nachfragen->ausgabe().find("Unlock"), std::string::npos) << nachfragen->ausgabe();
  EXPECT_EQ(nachfragen->ausgabe().find("Prompt"), std::string::npos) << nachfragen->ausgabe();
}

TEST_F(EigenerSchluesselbund, AngehaltenOderFortGiltAlsNichtGemerktEineZeileJeStoerung) {
  ProtokollMitschnitt protokoll;
  passphraseMerken(bund, Geheimnis(besonders));
  auto stoerungen = [&] {
    const auto z = protokoll.zeilen();
    return std::count_if(z.begin(), z.end(),
                         [](const auto& l) { return l.find("Schlüsselbund nicht nutzbar") != l.npos; });
  };

  ::kill(daemon->pid(), SIGSTOP);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(gemerkt());
  EXPECT_EQ(stoerungen(), 1);
  ::kill(daemon->pid(), SIGCONT);
  EXPECT_TRUE(gemerkt());

  daemon.reset();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(gemerkt());
  EXPECT_EQ(stoerungen(), 2);
  EXPECT_FALSE(dienstDa()) << "a keyring daemon was started on demand";

  // A new daemon on the same keyring: the same object finds the item again.
  starten();
  EXPECT_TRUE(gemerkt());
  EXPECT_EQ(passphraseLesen(bund, nullptr).value_or(Geheimnis("-")), besonders);
}

}  // namespace
}  // namespace tw
