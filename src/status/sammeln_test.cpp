#include "status/sammeln.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>

#include "app/dateien.h"
#include "helfer/roh_server.h"
#include "status/zustand_json.h"
#include "test.h"

namespace tw {
namespace {

using namespace std::string_literals;
using Texte = std::vector<std::string>;

Texte texte(const std::vector<Url>& seiten) {
  Texte t;
  for (const Url& s : seiten) t.push_back(s.text());
  return t;
}

// What the answers made of the snapshot; own pages by their place in the list.
std::string lage(const Zustand& z) {
  std::string s = z.tresor + (z.restminuten ? " " + std::to_string(*z.restminuten) + "min" : "");
  if (!z.fremdeFassung.empty()) s += " fremd " + z.fremdeFassung;
  if (z.selbstVeraltet) s += " selbst veraltet";
  if (z.programmVeraltet) s += " programm veraltet";
  s += " eigene";
  for (const Url& e : z.eigeneSeiten)
    s += " " + std::to_string(std::find(z.seiten.begin(), z.seiten.end(), e) - z.seiten.begin());
  return s;
}

class Sammeln : public testing::Test {
 protected:
  Sammeln() {
    q.zustandOrdner = welt / "zustand";
    q.konfigOrdner = welt / "heim/.config/geld-bote-demo";
    fs::create_directories(q.zustandOrdner);
    fs::create_directories(q.konfigOrdner);
    // As with kill(): 0 and negative ids name process groups, which exist.
    q.lebt = [this](std::int32_t p) { return p < 1 || unsere.count(p) > 0 || p == getpid(); };
    q.istUnser = [this](std::int32_t p) { return unsere.count(p) > 0; };
  }

  void datei(const std::string& name, std::string_view inhalt) {
    dateiSchreiben(q.zustandOrdner / name, inhalt);
  }
  // An instance file for a made-up process id that the process table is told is ours and alive.
  void instanz(std::int32_t pid, std::string_view port) {
    unsere.insert(pid);
    fs::create_directories(q.zustandOrdner / "instanzen");
    datei("instanzen/" + std::to_string(pid) + ".port", port);
  }
  // The test process stands in for the running program.
  void programm(std::string_view token, std::string port) {
    datei("tunnel.pid", std::to_string(getpid()));
    dateiSchreiben(q.konfigOrdner / "token", token);
    q.port = std::move(port);
  }

  // A page's port: "" where nothing listens, "schweigt" and "tropft" hang, anything else is the
  // body of a JSON answer.
  std::string seite(const std::string& art) {
    if (art.empty()) return std::to_string(freierPort());
    const auto wie = art == "schweigt" ? RohServer::Art::schweigen
                     : art == "tropft" ? RohServer::Art::troepfeln
                                       : RohServer::Art::antworten;
    const auto antwort = httpAntwort(200, "application/json", art);
    return std::to_string(server.emplace_back(std::make_unique<RohServer>(antwort, wie))->port());
  }

  TempOrdner welt;
  Sammelquellen q;
  std::set<std::int32_t> unsere;
  std::vector<std::unique_ptr<RohServer>> server;
};

TEST_F(Sammeln, PidDateiNenntEinenLebendenProzess) {
  datei("tunnel.adresse", "  https://abc.example/ \n");
  const std::string ich = std::to_string(getpid());
  for (const std::string& pid : {" " + ich + "\n", "7"s, ich + "x", "0"s, "-3"s}) {
    datei("tunnel.pid", pid);
    const Zustand z = sammeln(q);
    // The address is read whether the program runs or not.
    EXPECT_EQ(std::to_string(z.programmLaeuft) + " " + std::to_string(z.programmPid) + " " + z.adresse,
              (pid.starts_with(" ") ? "1 " + ich : "0 0"s) + " https://abc.example/");
  }
}

// Only plain addresses on this computer: what would move the host, or the
// request out of the page's path, leaves no page. "@" in a path is harmless.
TEST_F(Sammeln, ProgrammseiteAusTokenUndPort) {
  const std::string p = std::to_string(freierPort());
  datei("tunnel.pid", std::to_string(getpid()));
  EXPECT_TRUE(sammeln(q).seiten.empty());  // no token
  struct Fall {
    std::string token, port, seite;
  };
  for (const Fall& f :
       {Fall{"abc\n", p, "/t/abc/"}, Fall{"abc", "kein port", ""}, Fall{"abc", p + "#x", ""},
        Fall{"abc", p + "@192.0.2.1", ""}, Fall{"a?b", p, ""}, Fall{"a@192.0.2.1", p, "/t/a@192.0.2.1/"}}) {
    programm(f.token, f.port);
    EXPECT_EQ(texte(sammeln(q).seiten), f.seite.empty() ? Texte{} : Texte{"http://127.0.0.1:" + p + f.seite});
  }
}

TEST_F(Sammeln, InstanzdateienNachNamenAlteWeg) {
  const std::string a = seite("{}"), b = seite("{}");
  instanz(45, a);
  instanz(123, "0" + b + "\n");
  instanz(46, "abc");
  instanz(47, "99999");
  const std::string ich = std::to_string(getpid()) + ".port";
  for (const std::string name : {"7.port", "0.port", "x.port", ".port", "7.txt", ich.c_str()})
    datei("instanzen/" + name, a);  // not alive, invalid, or alive and not ours

  datei("seite.schluessel", "k1");
  const Zustand z = sammeln(q);
  EXPECT_EQ(texte(z.seiten), (Texte{"http://127.0.0.1:" + b + "/t/k1/", "http://127.0.0.1:" + a + "/t/k1/"}));
  EXPECT_EQ(z.claudePorts, (std::vector<std::int64_t>{std::stoi(b), std::stoi(a)}));
  EXPECT_TRUE(z.aktiv());
  for (const std::string name : {"7.port", "0.port", "x.port", ".port", "7.txt", "46.port", ich.c_str()})
    EXPECT_EQ(fs::exists(q.zustandOrdner / "instanzen" / name), name != "7.port" && name != "0.port") << name;

  for (const char* schluessel : {"a/b", "a b", "", "ä", "k#x", "k?x"}) {
    datei("seite.schluessel", schluessel);
    EXPECT_EQ(sammeln(q).seiten.front().pfad(), "/") << schluessel;
  }
}

// The answers count in list order; the program's page comes first. Own pages of
// one vault: "offen" beats "zu", "zu" beats "leer"; the fewest whole minutes
// count. Six pages that never answer and a trickling one cost one time limit.
TEST_F(Sammeln, AntwortenDerSeiten) {
  auto eigen = [](const std::string& tresor, const std::string& minuten = "") {
    return R"({"fassung":"1.7.2","tresor":")" + tresor + '"' +
           (minuten.empty() ? "" : ",\"restminuten\":" + minuten) + "}";
  };
  const std::string alt = R"({"fassung":"1.6.0"})", zu = eigen("zu"), leer = eigen("leer");
  struct Fall {
    std::string programm;  // "-": the program does not run
    Texte instanzen;
    std::string lage;
    std::string eigene = "1.7.2";  // without, every answering page is an own page
  };
  const Fall faelle[] = {
      {"-", {"", alt, "[]"}, "unbekannt fremd 1.6.0 eigene"},
      {"-", {alt, R"({"fassung":[1]})"}, "unbekannt fremd älter eigene"},
      {"", {zu}, "zu eigene 1"},
      {leer, {}, "leer eigene 0"},
      {R"({"fassung":"1.8.0","tresor":"zu"})", {}, "unbekannt selbst veraltet eigene"},
      {alt, {}, "unbekannt programm veraltet eigene"},
      {alt, {R"({"tresor":"zu"})"}, "zu eigene 0 1", ""},
      {"-", {R"({"fassung":"1.7.2","tresor":1})", eigen("kaputt")}, "unbekannt eigene 0 1"},
      {"-", {zu, leer}, "zu eigene 0 1"},
      {"-",
       {eigen("offen", "20"), zu, eigen("offen", R"("12")"), eigen("offen", "1.5"), eigen("offen", "30")},
       "offen 20min eigene 0 1 2 3 4"},
      {"-",
       {eigen("offen", "9"), "schweigt", "schweigt", "schweigt", "schweigt", "schweigt", "schweigt", "tropft",
        eigen("offen", "7")},
       "offen 7min fremd älter eigene 0 8"},
  };
  int pid = 1000;
  for (const Fall& f : faelle) {
    fs::remove_all(q.zustandOrdner / "instanzen");
    fs::remove(q.zustandOrdner / "tunnel.pid");
    q.eigeneFassung = f.eigene;
    if (f.programm != "-") programm("k", seite(f.programm));
    for (const std::string& antwort : f.instanzen) instanz(++pid, seite(antwort));
    const auto beginn = std::chrono::steady_clock::now();
    EXPECT_EQ(lage(sammeln(q)), f.lage);
    EXPECT_LT(std::chrono::steady_clock::now() - beginn, 10s);
  }
}

// The status command, with the bundle's version, own folders and process
// table, sees a real program and an instance of another version.
TEST_F(Sammeln, StatusbefehlZeigtWasDasProgrammSieht) {
  q.port = std::to_string(freierPort());
  // The stand-in takes every key character the app takes.
  datei("seite.schluessel", "k.1~-_!$&'()*+,:=@");
  const auto heim = umgebung(welt / "heim", q.zustandOrdner, *q.port);
  Kindprozess programm(Start{{TW_GELD_BOTE, "--programm"}, heim});
  ASSERT_NE(bereitePort(programm), 0) << programm.fehler();
  Kindprozess alt(Start{{TW_GELD_BOTE, "--instanz", "--fassung", "1.6.0"}, heim});
  const int i = bereitePort(alt);
  ASSERT_NE(i, 0) << alt.fehler();
  Kindprozess befehl(Start{{TW_STATUS}, heim});
  ASSERT_TRUE(endeteMit(befehl.warten(10s), 0)) << befehl.fehler();
  const std::string p = "http://127.0.0.1:" + *q.port + "/t/" + *lesen(q.konfigOrdner / "token") + "/";
  const std::string s = "http://127.0.0.1:" + std::to_string(i) + "/t/k.1~-_!$&'()*+,:=@/";
  const std::string adresse = *lesen(q.zustandOrdner / "tunnel.adresse");
  const nlohmann::json seiten = {p, s}, eigene = {p}, ports = {i};
  const nlohmann::json soll = {{"programmLaeuft", true},   {"programmPid", programm.pid()},
                               {"adresse", adresse},       {"claudePorts", ports},
                               {"seiten", seiten},         {"eigeneSeiten", eigene},
                               {"fremdeFassung", "1.6.0"}, {"tresor", "leer"},
                               {"restminuten", nullptr},   {"programmVeraltet", false},
                               {"selbstVeraltet", false},  {"aktiv", true}};
  EXPECT_EQ(nlohmann::json::parse(befehl.ausgabe()), soll);
  Kindprozess falsch(Start{{TW_STATUS, "--gibts-nicht"}});
  EXPECT_TRUE(endeteMit(falsch.warten(10s), 2));
}

}  // namespace
}  // namespace tw
