// The stand-in server and its start script as real processes, spoken to over
// HTTP on 127.0.0.1: what the app's own tests, which use them, do not reach.

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
  // Posts a form; "zustand" is asked with GET.
  httplib::Result senden(const std::string& name, const std::string& koerper,
                         std::optional<httplib::Headers> kopf = {}) const {
    if (name == "zustand") return holen(name, kopf.value_or(eigene()));
    return httplib::Client("127.0.0.1", port)
        .Post(praefix + name, kopf.value_or(eigene()), koerper, "application/x-www-form-urlencoded");
  }
  Json tresor() const {
    const auto r = senden("zustand", "");
    return r && r->status == 200 ? Json::parse(r->body, nullptr, false)["tresor"] : Json();
  }
};

// Its own home, state folder and port for every test.
struct GeldBote : ::testing::Test {
  TempOrdner t;
  fs::path zustand = t / "zustand", konfig = t / ".config" / "geld-bote-demo";
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

const std::string kodiert = "passphrase=Gr%C3%BC%C3%9Fe%20%26%20K%C3%BCsse%201%2B1";  // "Grüße & Küsse 1+1"
const Json offen = {{"tresor", "offen"}, {"restminuten", 30}}, zu = {{"tresor", "zu"}};

}  // namespace

TEST_F(GeldBote, StartenAutostartUndZuruecksetzen) {
  EXPECT_TRUE(endet({TW_STARTEN, "--still"}, 0));
  std::optional<pid_t> programm;
  ASSERT_TRUE(bisZu(10s, [&] {
    const auto text = lesen(zustand / "tunnel.pid");
    programm = text ? std::optional<pid_t>(std::stoi(*text)) : std::nullopt;
    return programm && prozessIstUnser(*programm);
  })) << lesen(zustand / "start.log").value_or("");
  EXPECT_EQ(lesen(konfig / "token").value_or("").size(), 32u);
  EXPECT_EQ(rechte(konfig / "token"), 0600u);
  // Started again while it runs: nothing happens.
  EXPECT_TRUE(endet({TW_STARTEN, "--still", "--autostart"}, 0));
  const auto log = lesen(zustand / "start.log").value_or("");
  EXPECT_EQ(log.find("gestartet"), log.rfind("gestartet")) << log;
  ::kill(*programm, SIGTERM);
  EXPECT_TRUE(bisZu(10s, [&] { return !fs::exists(zustand / "tunnel.pid"); }));
  EXPECT_TRUE(fs::exists(zustand / "tunnel.adresse"));

  const fs::path eintrag = t / "xdg" / "autostart" / "taler-wacht-demo.desktop";
  const fs::path buendel = fs::path(TW_STARTEN).parent_path().parent_path().parent_path();
  EXPECT_TRUE(endet({TW_STARTEN, "--autostart-an"}, 0));
  EXPECT_EQ(lesen(konfig / "autostart"), "ja");
  EXPECT_EQ(rechte(konfig / "autostart"), 0600u);
  EXPECT_NE(lesen(eintrag).value_or("").find("Exec=\"" + (buendel / "Contents/MacOS/TalerWacht").string() +
                                             "\" --autostart\n"),
            std::string::npos);
  EXPECT_TRUE(endet({TW_STARTEN, "--autostart-aus"}, 0));
  EXPECT_FALSE(fs::exists(konfig / "autostart") || fs::exists(eintrag));
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
  EXPECT_FALSE(fs::exists(konfig) || fs::exists(eintrag));
  EXPECT_TRUE(fs::exists(TW_STARTEN));
}

TEST_F(GeldBote, PassphraseUndTresordatei) {
  const auto [kind, seite] = instanz();
  const fs::path datei = konfig / "zugaenge.enc";
  struct Schritt {
    std::string pfad, koerper;
    int status;
    Json antwort = nullptr;
  };
  const auto ablauf = [&](const std::vector<Schritt>& schritte) {
    for (const auto& [pfad, koerper, status, antwort] : schritte) {
      const auto r = seite.senden(pfad, koerper);
      ASSERT_TRUE(r) << pfad;
      EXPECT_EQ(r->status, status) << pfad << " " << koerper;
      EXPECT_TRUE(antwort.is_null() || Json::parse(r->body, nullptr, false) == antwort) << pfad << r->body;
    }
  };
  ablauf({{"entsperren", kodiert, 409},
          {"einrichten", "passphrase=", 400},
          {"einrichten", kodiert, 200, offen},
          {"einrichten", "passphrase=anders", 409},
          {"sperren", "", 200, zu},
          {"entsperren", "passphrase=Gr%C3%BC%C3%9Fe", 403, {{"fehler", "Passphrase falsch"}}},
          {"entsperren", "name=x", 400},
          {"entsperren", "passphrase=%zz", 400},
          {"zustand", "", 200, {{"fassung", "1.7.2_demo"}, {"tresor", "zu"}}},
          {"entsperren", "x=1&" + kodiert, 200, offen}});
  EXPECT_EQ(rechte(datei), 0600u);
  const auto inhalt = lesen(datei).value_or("");
  EXPECT_NE(inhalt.find("scrypt"), std::string::npos);
  EXPECT_EQ(inhalt.find("Küsse"), std::string::npos);
  EXPECT_EQ(kind->fehler().find("Küsse"), std::string::npos);

  // A file it cannot read is left alone.
  dateiSchreiben(datei, "kaputt");
  ablauf({{"sperren", "", 200, zu}, {"entsperren", kodiert, 500}, {"einrichten", kodiert, 409}});
  EXPECT_EQ(seite.tresor(), "zu");
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
  const auto weiter =
      seite.senden("einrichten", kodiert,
                   httplib::Headers{{"Origin", "http://localhost:" + std::to_string(seite.port)},
                                    {"Accept", "text/html"}});
  EXPECT_EQ(weiter->status, 303);
  EXPECT_EQ(weiter->get_header_value("Location"), seite.praefix);
  // Only a form post to "einrichten" may leave out Sec-Fetch-Site (the first headers).
  for (const std::string pfad : {"zustand", "einrichten", "sperren", "entsperren"})
    for (std::size_t i = pfad == "einrichten"; i < fremde.size(); ++i)
      EXPECT_EQ(seite.senden(pfad, kodiert, fremde[i])->status, 403) << i << pfad;
  EXPECT_EQ(seite.tresor(), "offen");
}

TEST_F(GeldBote, InstanzMeldetSichAnUndAb) {
  privatenOrdnerAnlegen(zustand);
  dateiSchreiben(zustand / "tunnel.adresse", "https://abc.tunnel.example");
  auto [kind, seite] = instanz({"--fassung", "9.9 <b>"});
  const fs::path portDatei = zustand / "instanzen" / (std::to_string(kind->pid()) + ".port");
  EXPECT_EQ(rechte(zustand / "instanzen"), 0700u);
  const auto uebersicht = seite.holen("")->body;
  EXPECT_NE(uebersicht.find("action=\"" + seite.praefix + "einrichten\""), std::string::npos);
  EXPECT_NE(uebersicht.find("9.9 &lt;b&gt;"), std::string::npos);
  const auto chatbots = seite.holen("chatbots")->body;
  EXPECT_NE(chatbots.find("<section id=\"chatgpt\">"), std::string::npos);
  EXPECT_NE(chatbots.find("https://abc.tunnel.example"), std::string::npos);
  for (const auto& pfad : {std::string("/"), seite.praefix + "zustand/", seite.praefix + "x"}) {
    const auto r = httplib::Client("127.0.0.1", seite.port).Get(pfad, seite.eigene());
    EXPECT_EQ(r->status, 404) << pfad;
    EXPECT_EQ(r->get_header_value("Content-Type").find("json"), std::string::npos) << pfad;
  }
  EXPECT_EQ(httplib::Client("127.0.0.1", seite.port).Post(seite.praefix + "zustand", seite.eigene())->status,
            404);

  // Taken while it runs: a second server on its port gives up without a trace.
  EXPECT_TRUE(endet({TW_GELD_BOTE, "--instanz", "--port", std::to_string(seite.port)}, 1));
  EXPECT_EQ(std::distance(fs::directory_iterator(zustand / "instanzen"), {}), 1);
  ::kill(kind->pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(kind->warten(10s), 0)) << kind->fehler();
  EXPECT_FALSE(fs::exists(portDatei));

  // A key that cannot stand in a path: the pages move to the root.
  dateiSchreiben(zustand / "seite.schluessel", "a/b");
  auto [wurzel, wurzelSeite] = instanz();
  EXPECT_EQ(wurzelSeite.tresor(), "leer");
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
    for (const int p : ports) EXPECT_EQ(Seite({p, "/t/" + schluessel + "/"}).tresor(), "leer") << runde;
  }
}

TEST_F(GeldBote, FalscheAufrufeEndenMitZwei) {
  for (const std::string argumente : {"--instanz --minuten 0", "--programm --instanz", "", "--instanz --port",
                                      "--instanz --was", "--instanz --minutenlaenge -5", "--programm"}) {
    std::istringstream woerter(argumente);
    std::vector<std::string> aufruf(std::istream_iterator<std::string>(woerter), {});
    aufruf.insert(aufruf.begin(), TW_GELD_BOTE);
    auto s = start(aufruf);
    s.umgebung["GELD_BOTE_PORT"] = "80x";  // only the program reads it
    Kindprozess kind(s);
    EXPECT_TRUE(endeteMit(kind.warten(10s), 2)) << kind.fehler();
    EXPECT_TRUE(kind.fehler().starts_with("geld-bote: ")) << kind.fehler();
  }
  EXPECT_FALSE(fs::exists(zustand / "tunnel.pid"));
}

TEST_F(GeldBote, CountdownSperrtVonSelbst) {
  const auto [kind, seite] = instanz({"--minuten", "1", "--minutenlaenge", "300"});
  EXPECT_EQ(seite.senden("einrichten", kodiert)->status, 200);
  seite.senden("sperren", "");
  EXPECT_EQ(Json::parse(seite.senden("entsperren", kodiert)->body, nullptr, false),
            Json({{"tresor", "offen"}, {"restminuten", 1}}));
  EXPECT_TRUE(bisZu(5s, [&] { return seite.tresor() == "zu"; }));
}

}  // namespace tw
