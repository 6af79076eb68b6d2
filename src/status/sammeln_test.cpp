#include "status/sammeln.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <set>

#include "helfer/kindprozess.h"
#include "helfer/roh_server.h"
#include "helfer/temp_ordner.h"
#include "status/abrufen.h"
#include "status/zustand_json.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Texte = std::vector<std::string>;

std::string zustandsAntwort(std::string_view json) { return httpAntwort(200, "application/json", json); }

Texte texte(const std::vector<Url>& seiten) {
  Texte t;
  for (const Url& s : seiten) t.push_back(s.text());
  return t;
}

class Sammeln : public testing::Test {
 protected:
  Sammeln() {
    q.zustandOrdner = welt / "zustand";
    q.konfigOrdner = welt / "heim/.config/geld-bote-demo";
    q.eigeneFassung = "1.7.2";
    fs::create_directories(q.zustandOrdner);
    fs::create_directories(q.konfigOrdner);
    q.lebt = [this](std::int32_t p) { return unsere.count(p) > 0 || p == getpid(); };
    q.istUnser = [this](std::int32_t p) { return unsere.count(p) > 0; };
  }

  void datei(const std::string& name, std::string_view inhalt) {
    dateiSchreiben(q.zustandOrdner / name, inhalt);
  }

  // Instance files for made-up process ids that the process table is told are ours and alive.
  void instanz(std::int32_t pid, std::string_view port) {
    unsere.insert(pid);
    fs::create_directories(q.zustandOrdner / "instanzen");
    datei("instanzen/" + std::to_string(pid) + ".port", port);
  }
  void instanz(std::int32_t pid, const RohServer& s) { instanz(pid, std::to_string(s.port())); }
  const RohServer& roh(std::string antwort, RohServer::Art art = RohServer::Art::antworten) {
    return *server.emplace_back(std::make_unique<RohServer>(std::move(antwort), art));
  }

  // The test process stands in for the running program.
  void programm(std::string_view token, std::string port) {
    datei("tunnel.pid", std::to_string(getpid()));
    dateiSchreiben(q.konfigOrdner / "token", token);
    q.port = std::move(port);
  }

  // A stand-in server process with its own home, sharing our state folder and port.
  std::unique_ptr<Kindprozess> standIn(std::vector<std::string> argumente, const std::string& heim = "heim") {
    argumente.insert(argumente.begin(), TW_GELD_BOTE);
    Start start{argumente, {{"HOME", welt / heim}, {"GELD_BOTE_ZUSTAND", q.zustandOrdner}}};
    if (q.port) start.umgebung["GELD_BOTE_PORT"] = *q.port;
    auto k = std::make_unique<Kindprozess>(start);
    EXPECT_NE(bereitePort(*k), 0) << k->fehler();
    return k;
  }

  TempOrdner welt;
  Sammelquellen q;
  std::set<std::int32_t> unsere;
  std::vector<std::unique_ptr<RohServer>> server;
};

TEST_F(Sammeln, PidDateiNenntEinenLebendenProzess) {
  fs::remove_all(q.zustandOrdner);
  EXPECT_EQ(zustandAlsJson(sammeln(q)), zustandAlsJson(Zustand{}));
  fs::create_directories(q.zustandOrdner);
  Kindprozess beendet(Start{{"/bin/true"}});
  ASSERT_TRUE(beendet.warten(5s));
  const std::string ich = std::to_string(getpid());
  datei("tunnel.adresse", "  https://abc.example/ \n");
  std::vector<std::string> pids = {" " + ich + "\n", "+" + ich, ich + "x", std::to_string(beendet.pid())};
  for (const char* text : {"0", "-3", "abc", "2147483648", ""}) pids.emplace_back(text);
  for (const std::string& text : pids) {
    const bool lebt = &text < &pids[2];
    datei("tunnel.pid", text);
    const Zustand z = sammeln(q);
    EXPECT_EQ(z.programmPid, lebt ? getpid() : 0) << text;
    EXPECT_EQ(z.programmLaeuft, z.programmPid != 0) << text;
    EXPECT_EQ(z.adresse, "https://abc.example/");  // read whether the program runs or not
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
  for (const Fall& f : {Fall{"abc\n", p, "/t/abc/"}, Fall{"abc", "kein port", ""}, Fall{"a b", p, ""},
                        Fall{"abc", p + "@192.0.2.1", ""}, Fall{"abc", p + "#x", ""}, Fall{"a#b", p, ""},
                        Fall{"a?b", p, ""}, Fall{"a@192.0.2.1", p, "/t/a@192.0.2.1/"}}) {
    programm(f.token, f.port);
    EXPECT_EQ(texte(sammeln(q).seiten), f.seite.empty() ? Texte{} : Texte{"http://127.0.0.1:" + p + f.seite})
        << f.port << " " << f.token;
  }
}

TEST_F(Sammeln, InstanzdateienNachNamenAlteWeg) {
  const std::string ok = zustandsAntwort(R"({"fassung":"1.7.2","tresor":"zu"})");
  const RohServer &a = roh(ok), &b = roh(ok);
  instanz(45, a);
  instanz(123, "0" + std::to_string(b.port()) + "\n");
  instanz(46, "abc");
  instanz(47, "99999");
  const std::string pa = std::to_string(a.port()), ich = std::to_string(getpid()) + ".port";
  for (const std::string name : {"7.port", "0.port", "x.port", ".port", "7.txt", ich.c_str()})
    datei("instanzen/" + name, pa);  // not alive, invalid, or alive and not ours

  datei("seite.schluessel", "k1");
  const Zustand z = sammeln(q);
  EXPECT_EQ(z.claudePorts, (std::vector<std::int64_t>{b.port(), a.port()}));
  EXPECT_EQ(texte(z.seiten), (Texte{b.adresse("/t/k1/"), a.adresse("/t/k1/")}));
  EXPECT_EQ(texte(z.eigeneSeiten), texte(z.seiten));
  EXPECT_TRUE(z.aktiv());
  EXPECT_EQ(z.tresor, "zu");
  for (const std::string name : {"7.port", "0.port", "x.port", ".port", "7.txt", "46.port", ich.c_str()})
    EXPECT_EQ(fs::exists(q.zustandOrdner / "instanzen" / name), name != "7.port" && name != "0.port") << name;

  for (const char* schluessel : {"a/b", "a b", "", "ä", "k#x", "k?x"}) {
    datei("seite.schluessel", schluessel);
    EXPECT_EQ(sammeln(q).seiten.front().pfad(), "/") << schluessel;
  }
}

TEST_F(Sammeln, FassungenDerProgrammseite) {
  for (const std::string fassung : {"1.8.0", "1.7.1", "1.7.2_demo", "2.0", "1.7.2"}) {
    programm("k", std::to_string(
                      roh(zustandsAntwort(R"({"tresor":"offen","fassung":")" + fassung + "\"}")).port()));
    const Zustand z = sammeln(q);
    EXPECT_EQ(z.selbstVeraltet, fassung == "1.8.0") << fassung;
    EXPECT_EQ(z.programmVeraltet, fassung != "1.8.0" && fassung != "1.7.2") << fassung;
    EXPECT_EQ(z.fremdeFassung, "") << fassung;
    EXPECT_EQ(z.tresor, fassung == "1.7.2" ? "offen" : "unbekannt") << fassung;
  }
  // Without an own version every answering page is an own page.
  q.eigeneFassung = "";
  EXPECT_EQ(sammeln(q).tresor, "offen");
}

TEST_F(Sammeln, FremdeFassungenUndStilleInstanzen) {
  const RohServer& alt = roh(zustandsAntwort(R"({"fassung":"1.6.0","tresor":"offen"})"));
  const std::string stumm = std::to_string(freierPort());
  instanz(1, stumm);
  EXPECT_EQ(sammeln(q).fremdeFassung, "älter");
  instanz(2, alt);  // a later version text overwrites "älter"
  const Zustand z = sammeln(q);
  EXPECT_EQ(z.fremdeFassung, "1.6.0");
  EXPECT_TRUE(z.eigeneSeiten.empty());
  EXPECT_EQ(z.tresor, "unbekannt");
  instanz(3, roh(httpAntwort(404, "text/html", "<p>weg</p>")));  // but silence does not
  EXPECT_EQ(sammeln(q).fremdeFassung, "1.6.0");
  instanz(4, roh(zustandsAntwort(R"({"tresor":"offen"})")));
  EXPECT_EQ(sammeln(q).fremdeFassung, "älter");

  // An unanswered program page says nothing; without a token the first instance is the program's page.
  fs::remove_all(q.zustandOrdner / "instanzen");
  datei("tunnel.pid", std::to_string(getpid()));
  instanz(5, stumm);
  instanz(6, alt);
  EXPECT_EQ(sammeln(q).fremdeFassung, "1.6.0");
  fs::remove(q.zustandOrdner / "instanzen/5.port");
  EXPECT_TRUE(sammeln(q).programmVeraltet);
  EXPECT_EQ(sammeln(q).fremdeFassung, "");
}

// Own pages of one vault: "offen" beats "zu", "zu" beats "leer"; the fewest
// minutes count, and only whole numbers.
TEST_F(Sammeln, TresorlageAllerEigenenSeiten) {
  struct Fall {
    std::vector<std::string> tresore;
    std::string tresor;
    std::optional<std::int64_t> minuten;
  };
  for (const Fall& f :
       {Fall{{"1", R"("kaputt")"}, "unbekannt", {}}, Fall{{R"("leer")"}, "leer", {}},
        Fall{{R"("leer")", R"("zu","restminuten":3)"}, "zu", {}},
        Fall{{R"("offen","restminuten":30)", R"("zu")", R"("offen","restminuten":12)"}, "offen", 12},
        Fall{{R"("offen","restminuten":30)", R"("offen","restminuten":"12")"}, "offen", 30},
        Fall{{R"("offen","restminuten":1.5)", R"("offen")"}, "offen", {}}}) {
    fs::remove_all(q.zustandOrdner / "instanzen");
    for (const std::string& tresor : f.tresore) {
      const int pid = 100 + static_cast<int>(server.size());
      instanz(pid, roh(zustandsAntwort(R"({"fassung":"1.7.2","tresor":)" + tresor + "}")));
    }
    const Zustand z = sammeln(q);
    EXPECT_EQ(z.tresor, f.tresor) << f.tresore.front();
    EXPECT_EQ(z.restminuten, f.minuten) << f.tresore.front();
  }
}

// Six pages that never answer and a trickling one cost one time limit, not
// one each. The answers count in list order: an old version after silence
// replaces "älter", and a page without a version after it sets it again.
TEST_F(Sammeln, HaengendeUndFeindlicheSeitenKostenEineFrist) {
  int pid = 100;
  const RohServer& erste = roh(zustandsAntwort(R"({"fassung":"1.7.2","tresor":"offen","restminuten":9})"));
  instanz(pid++, erste);
  for (int i = 0; i < 6; ++i) instanz(pid++, roh("", RohServer::Art::schweigen));
  instanz(pid++, roh("", RohServer::Art::troepfeln));
  instanz(pid++, roh(zustandsAntwort(R"({"fassung":"1.6.0"})")));
  instanz(pid++, roh(zustandsAntwort(R"({"fassung":[1],"tresor":{},"restminuten":"1"})")));
  const RohServer& letzte = roh(zustandsAntwort(R"({"fassung":"1.7.2","tresor":"offen","restminuten":7})"));
  instanz(pid++, letzte);

  const auto beginn = std::chrono::steady_clock::now();
  const Zustand z = sammeln(q);
  EXPECT_LT(std::chrono::steady_clock::now() - beginn, 10s);
  EXPECT_EQ(texte(z.eigeneSeiten), (Texte{erste.adresse(), letzte.adresse()}));
  EXPECT_EQ(z.fremdeFassung, "älter");
  EXPECT_EQ(z.tresor, "offen");
  EXPECT_EQ(z.restminuten, 7);
}

// The status command, with the bundle's version, own folders and process
// table, sees a real program and an instance of another version.
TEST_F(Sammeln, StatusbefehlZeigtWasDasProgrammSieht) {
  q.port = std::to_string(freierPort());
  // The stand-in takes every key character the app takes.
  datei("seite.schluessel", "k.1~-_!$&'()*+,:=@");
  auto programm = standIn({"--programm"});
  auto alt = standIn({"--instanz", "--fassung", "1.6.0"});
  Kindprozess befehl(
      Start{{TW_STATUS},
            {{"HOME", welt / "heim"}, {"GELD_BOTE_ZUSTAND", q.zustandOrdner}, {"GELD_BOTE_PORT", *q.port}}});
  ASSERT_TRUE(endeteMit(befehl.warten(10s), 0)) << befehl.fehler();
  const auto json = nlohmann::json::parse(befehl.ausgabe());
  EXPECT_TRUE(json["adresse"].get<std::string>().starts_with("https://"));
  const nlohmann::json soll = {{"programmLaeuft", true},   {"programmPid", programm->pid()},
                               {"tresor", "leer"},         {"restminuten", nullptr},
                               {"fremdeFassung", "1.6.0"}, {"programmVeraltet", false},
                               {"selbstVeraltet", false},  {"aktiv", true}};
  for (const auto& [feld, wert] : soll.items()) EXPECT_EQ(json[feld], wert) << feld;
  ASSERT_EQ(json["seiten"].size(), 2u);
  EXPECT_EQ(Url::aus(json["seiten"][0].get<std::string>())->port(), std::stoi(*q.port));
  EXPECT_EQ(json["eigeneSeiten"], nlohmann::json::array({json["seiten"][0]}));
  const auto instanzSeite = Url::aus(json["seiten"][1].get<std::string>());
  EXPECT_EQ(json["claudePorts"], nlohmann::json::array({*instanzSeite->port()}));
  EXPECT_EQ(instanzSeite->pfad(), "/t/k.1~-_!$&'()*+,:=@/");

  Kindprozess falsch(Start{{TW_STATUS, "--gibts-nicht"}});
  EXPECT_TRUE(endeteMit(falsch.warten(10s), 2));
}

}  // namespace
}  // namespace tw
