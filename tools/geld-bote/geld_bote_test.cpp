// The stand-in server and its start script, run as real processes and
// spoken to over HTTP on 127.0.0.1.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "app/dateien.h"
#include "helfer/kindprozess.h"
#include "helfer/roh_server.h"
#include "lifecycle/prozesse.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
namespace fs = std::filesystem;

// The server's pages, asked as its own page asks unless told otherwise.
struct Seite {
  int port = 0;
  std::string praefix;
  httplib::Headers eigene() const {
    return {{"Sec-Fetch-Site", "same-origin"}, {"Origin", "http://127.0.0.1:" + std::to_string(port)}};
  }
  httplib::Result holen(const std::string& name, const httplib::Headers& kopf = {}) const {
    return httplib::Client("127.0.0.1", port).Get(praefix + name, kopf);
  }
  httplib::Result senden(const std::string& name, const std::string& koerper,
                         std::optional<httplib::Headers> kopf = {}) const {
    return httplib::Client("127.0.0.1", port)
        .Post(praefix + name, kopf.value_or(eigene()), koerper, "application/x-www-form-urlencoded");
  }
  Json zustand() const { return json(holen("zustand", eigene()), 200); }
  // The body of an answer with this status, or the status that came instead.
  static Json json(const httplib::Result& r, int status) {
    return r && r->status == status ? Json::parse(r->body, nullptr, false) : Json(r ? r->status : 0);
  }
};

// Its own home, state folder and port for every test.
struct GeldBote : ::testing::Test {
  TempOrdner t;
  fs::path zustand = t / "zustand";
  fs::path konfig = t / ".config" / "geld-bote-demo";
  int port = freierPort();

  Start start(std::vector<std::string> argumente) const {
    return {std::move(argumente),
            {{"HOME", t.pfad()},
             {"GELD_BOTE_ZUSTAND", zustand},
             {"GELD_BOTE_PORT", std::to_string(port)},
             {"XDG_CONFIG_HOME", t / "xdg"},
             {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (t / "kein-bus").string()}}};
  }
  // A running instance and its pages.
  std::pair<std::unique_ptr<Kindprozess>, Seite> instanz(std::vector<std::string> dazu = {}) const {
    dazu.insert(dazu.begin(), {TW_GELD_BOTE, "--instanz"});
    auto kind = std::make_unique<Kindprozess>(start(dazu));
    const int p = bereitePort(*kind);
    if (p == 0) ADD_FAILURE() << kind->fehler();
    const auto schluessel = lesen(zustand / "seite.schluessel").value_or("");
    return {std::move(kind), Seite{p, schluessel.size() == 32 ? "/t/" + schluessel + "/" : "/"}};
  }
  bool endet(const std::vector<std::string>& argumente, int code) const {
    return endeteMit(Kindprozess(start(argumente)).warten(10s), code);
  }
};

// The program runs in a session of its own; the test ends it, even on failure.
struct Nachlauf {
  std::optional<pid_t> pid;
  ~Nachlauf() {
    if (pid && prozessPfad(*pid).value_or("").find("geld-bote") != std::string::npos) ::kill(*pid, SIGKILL);
  }
};

const std::string passphrase = "Grüße & Küsse 1+1";
const std::string kodiert = "passphrase=Gr%C3%BC%C3%9Fe%20%26%20K%C3%BCsse%201%2B1";

}  // namespace

TEST_F(GeldBote, StartenBringtDasProgrammHochUndSigtermNimmtEsWeg) {
  EXPECT_TRUE(endet({TW_STARTEN, "--still"}, 0));
  Nachlauf programm;
  ASSERT_TRUE(bisZu(10s, [&] {
    const auto text = lesen(zustand / "tunnel.pid");
    programm.pid = text ? std::optional<pid_t>(std::stoi(*text)) : std::nullopt;
    return programm.pid && prozessIstUnser(*programm.pid);
  })) << lesen(zustand / "start.log").value_or("");
  const auto token = lesen(konfig / "token").value_or("");
  EXPECT_EQ(token.size(), 32u);
  EXPECT_EQ(rechte(konfig / "token"), 0600u);
  EXPECT_TRUE(lesen(zustand / "tunnel.adresse").value_or("").starts_with("https://"));
  const Seite seite{port, "/t/" + token + "/"};
  Json z;
  EXPECT_TRUE(bisZu(10s, [&] { return (z = seite.zustand()).is_object(); })) << z;
  EXPECT_EQ(z, Json({{"fassung", "1.7.2_demo"}, {"tresor", "leer"}}));

  // Started again while it runs: nothing happens.
  EXPECT_TRUE(endet({TW_STARTEN, "--still", "--autostart"}, 0));
  const auto log = lesen(zustand / "start.log").value_or("");
  EXPECT_EQ(log.find("gestartet"), log.rfind("gestartet")) << log;

  ::kill(*programm.pid, SIGTERM);
  EXPECT_TRUE(bisZu(10s, [&] { return !fs::exists(zustand / "tunnel.pid"); }));
  EXPECT_TRUE(fs::exists(zustand / "tunnel.adresse"));
}

TEST_F(GeldBote, TresorEinrichtenSperrenEntsperren) {
  const auto [kind, seite] = instanz();
  const fs::path datei = konfig / "zugaenge.enc";
  EXPECT_EQ(seite.senden("entsperren", kodiert)->status, 409);
  EXPECT_EQ(seite.senden("einrichten", "passphrase=")->status, 400);
  EXPECT_EQ(Seite::json(seite.senden("einrichten", kodiert), 200),
            Json({{"tresor", "offen"}, {"restminuten", 30}}));
  EXPECT_EQ(seite.senden("einrichten", "passphrase=anders")->status, 409);
  EXPECT_EQ(Seite::json(seite.senden("sperren", ""), 200), Json({{"tresor", "zu"}}));

  EXPECT_TRUE(Seite::json(seite.senden("entsperren", "passphrase=Gr%C3%BC%C3%9Fe"), 403).contains("fehler"));
  for (const char* kaputt : {"name=x", "passphrase=%zz"})
    EXPECT_EQ(seite.senden("entsperren", kaputt)->status, 400);
  EXPECT_EQ(seite.zustand()["tresor"], "zu");
  EXPECT_EQ(Seite::json(seite.senden("entsperren", "x=1&" + kodiert), 200),
            Json({{"tresor", "offen"}, {"restminuten", 30}}));
  EXPECT_EQ(seite.zustand()["tresor"], "offen");

  EXPECT_EQ(rechte(datei), 0600u);
  const auto inhalt = lesen(datei).value_or("");
  EXPECT_NE(inhalt.find("scrypt"), std::string::npos);
  EXPECT_EQ(inhalt.find("Küsse"), std::string::npos);
  EXPECT_EQ(kind->fehler().find("Küsse"), std::string::npos);
  EXPECT_EQ(Seite::json(seite.senden("sperren", ""), 200), Json({{"tresor", "zu"}}));

  // A file it cannot read is left alone.
  dateiSchreiben(datei, "kaputt");
  EXPECT_EQ(seite.senden("entsperren", kodiert)->status, 500);
  EXPECT_EQ(seite.senden("einrichten", kodiert)->status, 409);
  EXPECT_EQ(seite.zustand()["tresor"], "zu");
  EXPECT_EQ(lesen(datei), "kaputt");
}

TEST_F(GeldBote, FremdeAnfragenAendernNichts) {
  const auto [kind, seite] = instanz();
  const std::string eigen = "http://127.0.0.1:" + std::to_string(seite.port);
  const std::vector<httplib::Headers> fremde = {
      {{"Origin", eigen}},
      {{"Sec-Fetch-Site", "same-origin"}},
      {{"Sec-Fetch-Site", "same-origin"}, {"Origin", "http://127.0.0.1:" + std::to_string(seite.port + 1)}},
      {{"Sec-Fetch-Site", "cross-site"}, {"Origin", eigen}},
      {{"Sec-Fetch-Site", "same-origin"}, {"Origin", "http://boese.example"}}};
  for (std::size_t i = 0; i < fremde.size(); ++i) {
    // Only a form post to "einrichten" may leave out Sec-Fetch-Site.
    if (i > 0) {
      EXPECT_TRUE(Seite::json(seite.senden("einrichten", kodiert, fremde[i]), 403).contains("fehler")) << i;
    }
    EXPECT_EQ(seite.holen("zustand", fremde[i])->status, 403) << i;
  }
  EXPECT_FALSE(fs::exists(konfig / "zugaenge.enc"));
  const httplib::Headers formular = {{"Origin", "http://localhost:" + std::to_string(seite.port)},
                                     {"Accept", "text/html,*/*"}};
  const auto weiter = seite.senden("einrichten", kodiert, formular);
  EXPECT_EQ(weiter->status, 303);
  EXPECT_EQ(weiter->get_header_value("Location"), seite.praefix);
  for (const auto& kopf : fremde) {
    EXPECT_EQ(seite.senden("sperren", "", kopf)->status, 403);
    EXPECT_EQ(seite.senden("entsperren", kodiert, kopf)->status, 403);
  }
  EXPECT_EQ(seite.zustand()["tresor"], "offen");
}

TEST_F(GeldBote, InstanzMeldetSichAnUndAb) {
  privatenOrdnerAnlegen(zustand);
  dateiSchreiben(zustand / "tunnel.adresse", "https://abc.tunnel.example");
  auto [kind, seite] = instanz({"--fassung", "9.9 <b>"});
  const fs::path portDatei = zustand / "instanzen" / (std::to_string(kind->pid()) + ".port");
  EXPECT_EQ(lesen(portDatei), std::to_string(seite.port));
  EXPECT_EQ(rechte(zustand / "instanzen"), 0700u);
  EXPECT_EQ(seite.praefix.size(), 36u);
  EXPECT_EQ(seite.zustand()["fassung"], "9.9 <b>");
  const auto uebersicht = seite.holen("");
  EXPECT_NE(uebersicht->body.find("action=\"" + seite.praefix + "einrichten\""), std::string::npos);
  EXPECT_NE(uebersicht->body.find("9.9 &lt;b&gt;"), std::string::npos);
  const auto chatbots = seite.holen("chatbots")->body;
  EXPECT_NE(chatbots.find("<section id=\"chatgpt\">"), std::string::npos);
  EXPECT_NE(chatbots.find("https://abc.tunnel.example"), std::string::npos);
  for (const auto& pfad : {std::string("/"), seite.praefix + "zustand/", seite.praefix + "x"}) {
    const auto r = httplib::Client("127.0.0.1", seite.port).Get(pfad, seite.eigene());
    EXPECT_EQ(r->status, 404) << pfad;
    EXPECT_EQ(r->get_header_value("Content-Type").find("json"), std::string::npos) << pfad;
  }
  EXPECT_EQ(seite.senden("zustand", "")->status, 404);

  // Taken while it runs: a second server on its port gives up without a trace.
  EXPECT_TRUE(endet({TW_GELD_BOTE, "--instanz", "--port", std::to_string(seite.port)}, 1));
  EXPECT_EQ(std::distance(fs::directory_iterator(zustand / "instanzen"), {}), 1);

  ::kill(kind->pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(kind->warten(10s), 0)) << kind->fehler();
  EXPECT_FALSE(fs::exists(portDatei));

  // A key that cannot stand in a path: the pages move to the root.
  dateiSchreiben(zustand / "seite.schluessel", "a/b");
  auto [wurzel, wurzelSeite] = instanz();
  EXPECT_EQ(wurzelSeite.zustand()["tresor"], "leer");
  EXPECT_EQ(lesen(zustand / "seite.schluessel"), "a/b");
}

// Started together without a key file, all instances agree on the one key
// it then holds. A race, so three rounds.
TEST_F(GeldBote, GleichzeitigeInstanzenTeilenDenSchluessel) {
  for (int runde = 0; runde < 3; ++runde) {
    fs::remove(zustand / "seite.schluessel");
    std::vector<std::unique_ptr<Kindprozess>> instanzen;
    for (int i = 0; i < 4; ++i)
      instanzen.push_back(std::make_unique<Kindprozess>(start({TW_GELD_BOTE, "--instanz"})));
    std::vector<int> ports;
    for (auto& k : instanzen) ports.push_back(bereitePort(*k));
    const auto schluessel = lesen(zustand / "seite.schluessel").value_or("");
    for (const int p : ports)
      EXPECT_TRUE(Seite({p, "/t/" + schluessel + "/"}).zustand().is_object()) << runde;
  }
}

TEST_F(GeldBote, FalscheAufrufeEndenMitZwei) {
  for (const std::string& argumente :
       {"--instanz --minuten 0", "--programm --instanz", "", "--instanz --port", "--instanz --was",
        "--instanz --minutenlaenge -5"}) {
    std::istringstream woerter(argumente);
    std::vector<std::string> aufruf(std::istream_iterator<std::string>(woerter), {});
    aufruf.insert(aufruf.begin(), TW_GELD_BOTE);
    Kindprozess kind(start(aufruf));
    EXPECT_TRUE(endeteMit(kind.warten(10s), 2)) << kind.fehler();
    EXPECT_TRUE(kind.fehler().starts_with("geld-bote: ")) << kind.fehler();
  }
  auto falscherPort = start({TW_GELD_BOTE, "--programm"});
  falscherPort.umgebung["GELD_BOTE_PORT"] = "80x";
  Kindprozess kind(falscherPort);
  EXPECT_TRUE(endeteMit(kind.warten(10s), 2));
  EXPECT_FALSE(fs::exists(zustand / "tunnel.pid"));
}

TEST_F(GeldBote, CountdownSperrtVonSelbst) {
  const auto [kind, seite] = instanz({"--minuten", "1", "--minutenlaenge", "300"});
  EXPECT_EQ(seite.senden("einrichten", kodiert)->status, 200);
  seite.senden("sperren", "");
  EXPECT_EQ(Seite::json(seite.senden("entsperren", kodiert), 200),
            Json({{"tresor", "offen"}, {"restminuten", 1}}));
  EXPECT_TRUE(bisZu(5s, [&] { return seite.zustand()["tresor"] == "zu"; }));
}

TEST_F(GeldBote, AutostartUndZuruecksetzen) {
  const fs::path eintrag = t / "xdg" / "autostart" / "taler-wacht-demo.desktop";
  const fs::path buendel = fs::path(TW_STARTEN).parent_path().parent_path().parent_path();
  EXPECT_TRUE(endet({TW_STARTEN, "--autostart-an"}, 0));
  EXPECT_EQ(lesen(konfig / "autostart"), "ja");
  EXPECT_EQ(rechte(konfig / "autostart"), 0600u);
  EXPECT_NE(lesen(eintrag).value_or("").find("Exec=\"" + (buendel / "Contents/MacOS/TalerWacht").string() +
                                             "\" --autostart\n"),
            std::string::npos);
  EXPECT_TRUE(endet({TW_STARTEN, "--autostart-aus"}, 0));
  EXPECT_FALSE(fs::exists(konfig / "autostart"));
  EXPECT_FALSE(fs::exists(eintrag));
  EXPECT_TRUE(endet({TW_STARTEN, "--autostart"}, 2));

  // Reset: ends our servers, spares a stranger named in the pid files. The
  // state folder is the working directory here: only our files go from it.
  EXPECT_TRUE(endet({TW_STARTEN, "--autostart-an"}, 0));
  auto [server, seite] = instanz();
  Kindprozess fremder({{"/bin/sleep", "30"}});
  for (const char* name : {"tunnel.pid", "menue.pid"})
    dateiSchreiben(zustand / name, std::to_string(fremder.pid()));
  dateiSchreiben(zustand / "arbeit.txt", "von mir");
  std::optional<int> serverEnde;
  std::thread ernte([&] { serverEnde = server->warten(10s); });
  auto zuruecksetzen = start({TW_STARTEN, "--zuruecksetzen"});
  zuruecksetzen.umgebung["GELD_BOTE_ZUSTAND"] = "";
  zuruecksetzen.ordner = zustand;
  EXPECT_TRUE(endeteMit(Kindprozess(zuruecksetzen).warten(10s), 0));
  ernte.join();
  EXPECT_TRUE(endeteMit(serverEnde, 0));
  EXPECT_TRUE(fremder.laeuft());
  std::vector<std::string> uebrig;
  for (const auto& e : fs::directory_iterator(zustand)) uebrig.push_back(e.path().filename());
  EXPECT_EQ(uebrig, std::vector<std::string>{"arbeit.txt"});
  EXPECT_FALSE(fs::exists(konfig));
  EXPECT_FALSE(fs::exists(eintrag));
  EXPECT_TRUE(fs::exists(TW_STARTEN));
}

}  // namespace tw
