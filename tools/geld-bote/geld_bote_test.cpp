// The stand-in server and its start script as real processes: what the app
// relies on and its own tests do not reach (the script's autostart switch and
// reset, a wrong passphrase, and where the passphrase never goes).

#include <signal.h>

#include "app/dateien.h"
#include "helfer/roh_server.h"
#include "lifecycle/prozesse.h"
#include "status/abrufen.h"
#include "test.h"

namespace tw {
namespace {

struct GeldBote : ::testing::Test {
  TempOrdner t;
  fs::path zustand = t / "zustand", konfig = t / ".config/geld-bote-demo";

  // A bus nobody answers on: the reset would clear the test world's keyring item.
  Start start(std::vector<std::string> argumente) const {
    Start s{std::move(argumente), umgebung(t.pfad(), zustand, std::to_string(freierPort()))};
    s.umgebung["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (t / "kein-bus").string();
    return s;
  }
  bool gelingt(const std::vector<std::string>& argumente) const {
    return endeteMit(Kindprozess(start(argumente)).warten(10s), 0);
  }
};

TEST_F(GeldBote, StartskriptStartetSchaltetAutostartUndSetztZurueck) {
  ASSERT_TRUE(gelingt({TW_STARTEN, "--still"}));
  std::optional<pid_t> programm;
  ASSERT_TRUE(bisZu(10s, [&] {
    const auto text = lesen(zustand / "tunnel.pid");
    programm = text ? std::optional<pid_t>(std::stoi(*text)) : std::nullopt;
    return programm && prozessIstUnser(*programm);
  })) << lesen(zustand / "start.log").value_or("");
  // Asked again while it runs, it starts no second one.
  EXPECT_TRUE(gelingt({TW_STARTEN, "--still", "--autostart"}));
  const auto log = lesen(zustand / "start.log").value_or("");
  EXPECT_EQ(log.find("gestartet"), log.rfind("gestartet")) << log;

  // The menu's tick reads the file; a desktop starts the bundle's app from the entry.
  const fs::path eintrag = t / ".config/autostart/taler-wacht-demo.desktop";
  EXPECT_TRUE(gelingt({TW_STARTEN, "--autostart-an"}));
  EXPECT_EQ(lesen(konfig / "autostart"), "ja");
  EXPECT_NE(lesen(eintrag).value_or("").find("/Contents/MacOS/TalerWacht\" --autostart\n"),
            std::string::npos);
  EXPECT_TRUE(gelingt({TW_STARTEN, "--autostart-aus"}));
  EXPECT_FALSE(fs::exists(konfig / "autostart") || fs::exists(eintrag));

  // The reset ends our servers, spares a stranger named in a pid file, and only our files go.
  EXPECT_TRUE(gelingt({TW_STARTEN, "--autostart-an"}));
  Kindprozess instanz(start({TW_GELD_BOTE, "--instanz"}));
  ASSERT_NE(bereitePort(instanz), 0) << instanz.fehler();
  Kindprozess fremder({{"/bin/sleep", "30"}});
  dateiSchreiben(zustand / "menue.pid", std::to_string(fremder.pid()));
  dateiSchreiben(zustand / "arbeit.txt", "von mir");
  EXPECT_TRUE(gelingt({TW_STARTEN, "--zuruecksetzen"}));
  EXPECT_TRUE(endeteMit(instanz.warten(10s), 0));
  EXPECT_TRUE(bisZu(10s, [&] { return !prozessIstUnser(*programm); }));
  EXPECT_TRUE(fremder.laeuft());
  std::vector<std::string> uebrig;
  for (const auto& e : fs::directory_iterator(zustand)) uebrig.push_back(e.path().filename());
  EXPECT_EQ(uebrig, std::vector<std::string>{"arbeit.txt"});
  EXPECT_FALSE(fs::exists(konfig) || fs::exists(eintrag));
}

// Asked as the app asks: a wrong passphrase leaves the vault locked, and the
// passphrase is in neither the vault's file nor the log.
TEST_F(GeldBote, FalschePassphraseUndKeineSpur) {
  Kindprozess server(start({TW_GELD_BOTE, "--instanz"}));
  const int port = bereitePort(server);
  ASSERT_NE(port, 0) << server.fehler();
  const auto seite = *Url::aus("http://127.0.0.1:" + std::to_string(port) + "/t/" +
                               lesen(zustand / "seite.schluessel").value_or("") + "/");
  const auto senden = [&](const char* name, const std::string& passphrase) {
    return abrufen(seite.mitKomponente(name), "POST", {{"passphrase", passphrase}}).status;
  };
  EXPECT_EQ(senden("einrichten", "Grüße 1+1"), 200);
  EXPECT_EQ(senden("sperren", ""), 200);
  EXPECT_EQ(senden("entsperren", "Grüße"), 403);
  EXPECT_EQ(abrufen(seite.mitKomponente("zustand")).json.value_or(nullptr)["tresor"], "zu");
  const auto datei = lesen(konfig / "zugaenge.enc");
  ASSERT_TRUE(datei);
  for (const auto& text : {*datei, server.fehler()}) EXPECT_EQ(text.find("Grüße"), std::string::npos) << text;
}

}  // namespace
}  // namespace tw
