#include "status/sammeln.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <tuple>

#include "helfer/kindprozess.h"
#include "helfer/roh_server.h"
#include "helfer/temp_ordner.h"
#include "status/abrufen.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string zustandsAntwort(std::string_view json) { return httpAntwort(200, "application/json", json); }

std::vector<std::string> texte(const std::vector<Url>& seiten) {
  std::vector<std::string> t;
  for (const Url& s : seiten) t.push_back(s.text());
  return t;
}

class Sammeln : public testing::Test {
 protected:
  Sammeln() {
    q.zustandOrdner = welt / "zustand";
    q.konfigOrdner = welt / "heim/.config/geld-bote-demo";
    q.eigeneFassung = "1.7.2";
    fs::create_directories(q.zustandOrdner / "instanzen");
    fs::create_directories(q.konfigOrdner);
  }

  void zustandDatei(const std::string& name, std::string_view inhalt) {
    dateiSchreiben(q.zustandOrdner / name, inhalt);
  }

  // Instance files for made-up process ids that the process table is told are ours and alive.
  void instanz(std::int32_t pid, std::string_view port) {
    unsere.insert(pid);
    zustandDatei("instanzen/" + std::to_string(pid) + ".port", port);
    q.lebt = [this](std::int32_t p) { return unsere.count(p) > 0 || p == getpid(); };
    q.istUnser = [this](std::int32_t p) { return unsere.count(p) > 0; };
  }
  void instanz(std::int32_t pid, const RohServer& s) { instanz(pid, std::to_string(s.port())); }

  // The test process itself stands in for the running program; its page is `s`.
  void programm(const RohServer& s) {
    zustandDatei("tunnel.pid", std::to_string(getpid()));
    dateiSchreiben(q.konfigOrdner / "token", "k");
    q.port = std::to_string(s.port());
  }

  // A stand-in server process with its own home, sharing our state folder and port.
  std::unique_ptr<Kindprozess> standIn(std::vector<std::string> argumente, const std::string& heim = "heim") {
    argumente.insert(argumente.begin(), TW_GELD_BOTE);
    Start start{argumente,
                {{"HOME", (welt / heim).string()}, {"GELD_BOTE_ZUSTAND", q.zustandOrdner.string()}}};
    if (q.port) start.umgebung["GELD_BOTE_PORT"] = *q.port;
    auto k = std::make_unique<Kindprozess>(start);
    EXPECT_NE(bereitePort(*k), 0) << k->fehler();
    return k;
  }

  TempOrdner welt;
  Sammelquellen q;
  std::set<std::int32_t> unsere;
};

TEST_F(Sammeln, OhneOrdnerDerLeereZustand) {
  fs::remove_all(welt / "zustand");
  const Zustand z = sammeln(q);
  EXPECT_FALSE(z.programmLaeuft);
  EXPECT_EQ(z.programmPid, 0);
  EXPECT_EQ(z.adresse, "");
  EXPECT_TRUE(z.seiten.empty());
  EXPECT_EQ(z.tresor, "unbekannt");
  EXPECT_EQ(z.restminuten, std::nullopt);
  EXPECT_FALSE(z.aktiv());
}

TEST_F(Sammeln, PidDateiNenntEinenLebendenProzess) {
  Kindprozess beendet(Start{{"/bin/true"}});
  ASSERT_TRUE(beendet.warten(5s));
  const std::string ich = std::to_string(getpid());
  zustandDatei("tunnel.adresse", "  https://abc.example/ \n");
  for (const std::string& text : {" " + ich + "\n", "+" + ich}) {
    zustandDatei("tunnel.pid", text);
    EXPECT_EQ(sammeln(q).programmPid, getpid()) << text;
  }
  using namespace std::string_literals;
  for (const std::string& text :
       {"0"s, "-3"s, "abc"s, "2147483648"s, ich + "x", std::to_string(beendet.pid()), ""s}) {
    zustandDatei("tunnel.pid", text);
    const Zustand z = sammeln(q);
    EXPECT_FALSE(z.programmLaeuft) << text;
    EXPECT_EQ(z.programmPid, 0);
    EXPECT_EQ(z.adresse, "https://abc.example/");  // read whether the program runs or not
  }
}

TEST_F(Sammeln, ProgrammseiteAusTokenUndPort) {
  zustandDatei("tunnel.pid", std::to_string(getpid()));
  EXPECT_TRUE(sammeln(q).seiten.empty());  // no token
  dateiSchreiben(q.konfigOrdner / "token", "abc\n");
  const int frei = freierPort();
  q.port = std::to_string(frei);
  EXPECT_EQ(texte(sammeln(q).seiten),
            std::vector<std::string>{"http://127.0.0.1:" + q.port.value() + "/t/abc/"});
  q.port = "kein port";
  EXPECT_TRUE(sammeln(q).seiten.empty());
  dateiSchreiben(q.konfigOrdner / "token", "a b");
  q.port = std::to_string(frei);
  EXPECT_TRUE(sammeln(q).seiten.empty());

  // Only plain addresses on this computer: what would move the host, or the
  // request out of the page's path, leaves no page. "@" in a path is harmless.
  const std::string p = std::to_string(frei);
  for (const auto& [port, token, bleibt] :
       std::vector<std::tuple<std::string, std::string, bool>>{{p + "@192.0.2.1", "abc", false},
                                                               {p + "#x", "abc", false},
                                                               {p, "a#b", false},
                                                               {p, "a?b", false},
                                                               {p, "a@192.0.2.1", true}}) {
    q.port = port;
    dateiSchreiben(q.konfigOrdner / "token", token);
    const auto seiten = sammeln(q).seiten;
    EXPECT_EQ(seiten.size(), bleibt ? 1u : 0u) << port << " " << token;
    for (const Url& s : seiten) EXPECT_EQ(s.host(), "127.0.0.1") << s.text();
  }
}

TEST_F(Sammeln, InstanzdateienNachNamenAlteWeg) {
  RohServer a(zustandsAntwort(R"({"fassung":"1.7.2","tresor":"zu"})"));
  RohServer b(zustandsAntwort(R"({"fassung":"1.7.2","tresor":"zu"})"));
  instanz(45, a);
  instanz(123, "0" + std::to_string(b.port()) + "\n");
  instanz(46, "abc");
  instanz(47, "99999");
  zustandDatei("instanzen/7.port", std::to_string(a.port()));  // not alive
  zustandDatei("instanzen/0.port", std::to_string(a.port()));
  zustandDatei("instanzen/x.port", std::to_string(a.port()));
  zustandDatei("instanzen/.port", std::to_string(a.port()));
  zustandDatei("instanzen/7.txt", std::to_string(a.port()));
  zustandDatei("instanzen/" + std::to_string(getpid()) + ".port",
               std::to_string(a.port()));  // alive, not ours

  zustandDatei("seite.schluessel", "k1");
  const Zustand z = sammeln(q);
  EXPECT_EQ(z.claudePorts, (std::vector<std::int64_t>{b.port(), a.port()}));
  EXPECT_EQ(texte(z.seiten), (std::vector<std::string>{b.adresse("/t/k1/"), a.adresse("/t/k1/")}));
  EXPECT_EQ(texte(z.eigeneSeiten), texte(z.seiten));
  EXPECT_TRUE(z.aktiv());
  EXPECT_FALSE(z.programmLaeuft);
  EXPECT_EQ(z.tresor, "zu");
  for (const char* weg : {"7.port", "0.port"})
    EXPECT_FALSE(fs::exists(q.zustandOrdner / "instanzen" / weg)) << weg;
  for (const std::string& da : {std::string("x.port"), std::string(".port"), std::string("7.txt"),
                                std::string("46.port"), std::to_string(getpid()) + ".port"})
    EXPECT_TRUE(fs::exists(q.zustandOrdner / "instanzen" / da)) << da;

  for (const char* schluessel : {"a/b", "a b", "", "ä", "k#x", "k?x"}) {
    zustandDatei("seite.schluessel", schluessel);
    EXPECT_EQ(sammeln(q).seiten.front().text(), b.adresse("/")) << schluessel;
  }
  zustandDatei("seite.schluessel", "k.1~-_!$&'()*+,:=@");
  EXPECT_EQ(sammeln(q).seiten.size(), 2u);
}

TEST_F(Sammeln, FassungenDerProgrammseite) {
  struct Fall {
    std::string fassung;
    bool selbst, programm;
  };
  for (const Fall& f :
       {Fall{"1.8.0", true, false}, Fall{"1.7.1", false, true}, Fall{"1.7.2_demo", false, true},
        Fall{"2.0", false, true}, Fall{"1.7.2", false, false}}) {
    RohServer s(zustandsAntwort(R"({"tresor":"offen","restminuten":5,"fassung":")" + f.fassung + "\"}"));
    programm(s);
    const Zustand z = sammeln(q);
    EXPECT_EQ(z.selbstVeraltet, f.selbst) << f.fassung;
    EXPECT_EQ(z.programmVeraltet, f.programm) << f.fassung;
    EXPECT_EQ(z.fremdeFassung, "") << f.fassung;
    EXPECT_EQ(z.tresor, f.fassung == "1.7.2" ? "offen" : "unbekannt") << f.fassung;
    EXPECT_EQ(z.eigeneSeiten.size(), f.fassung == "1.7.2" ? 1u : 0u);
  }
  // Without an own version every answering page is an own page.
  RohServer alt(zustandsAntwort(R"({"tresor":"zu","fassung":"0.1"})"));
  programm(alt);
  q.eigeneFassung = "";
  EXPECT_EQ(sammeln(q).tresor, "zu");
}

TEST_F(Sammeln, FremdeFassungenUndStilleInstanzen) {
  RohServer alt(zustandsAntwort(R"({"fassung":"1.6.0","tresor":"offen"})"));
  RohServer ohne(zustandsAntwort(R"({"tresor":"offen"})"));
  RohServer html(httpAntwort(404, "text/html", "<p>weg</p>"));
  const std::string stumm = std::to_string(freierPort());

  instanz(1, stumm);
  EXPECT_EQ(sammeln(q).fremdeFassung, "älter");
  instanz(2, alt);  // a later version text overwrites "älter"
  Zustand z = sammeln(q);
  EXPECT_EQ(z.fremdeFassung, "1.6.0");
  EXPECT_TRUE(z.eigeneSeiten.empty());
  EXPECT_EQ(z.tresor, "unbekannt");
  instanz(3, html);  // but silence does not
  EXPECT_EQ(sammeln(q).fremdeFassung, "1.6.0");
  instanz(4, ohne);
  EXPECT_EQ(sammeln(q).fremdeFassung, "älter");

  // An unanswered program page says nothing; without a token the first instance is the program's page.
  fs::remove_all(q.zustandOrdner / "instanzen");
  fs::create_directories(q.zustandOrdner / "instanzen");
  zustandDatei("tunnel.pid", std::to_string(getpid()));
  instanz(5, stumm);
  EXPECT_EQ(sammeln(q).fremdeFassung, "");
  instanz(6, alt);
  z = sammeln(q);
  EXPECT_EQ(z.fremdeFassung, "1.6.0");
  fs::remove(q.zustandOrdner / "instanzen/5.port");
  z = sammeln(q);
  EXPECT_TRUE(z.programmVeraltet);
  EXPECT_EQ(z.fremdeFassung, "");
}

TEST_F(Sammeln, SeltsameAntwortenAendernNichts) {
  for (const char* json : {R"({"fassung":"1.7.2","tresor":"kaputt"})", R"({"fassung":"1.7.2","tresor":1})",
                           R"({"fassung":1,"tresor":"offen"})"}) {
    RohServer s(zustandsAntwort(json));
    instanz(8, s);
    const Zustand z = sammeln(q);
    EXPECT_EQ(z.tresor, "unbekannt") << json;
    EXPECT_EQ(z.restminuten, std::nullopt);
  }
  RohServer text(zustandsAntwort(R"({"fassung":"1.7.2","tresor":"offen","restminuten":"12"})"));
  instanz(8, text);
  const Zustand z = sammeln(q);
  EXPECT_EQ(z.tresor, "offen");
  EXPECT_EQ(z.restminuten, std::nullopt);
}

// Real stand-in servers, each with its own vault, answering as instances.
TEST_F(Sammeln, TresorlagenEchterServerVereint) {
  q.eigeneFassung = "1.7.2_demo";
  auto a = standIn({"--instanz", "--minuten", "30"}, "heim-a");
  auto b = standIn({"--instanz", "--minuten", "12"}, "heim-b");
  Zustand z = sammeln(q);
  ASSERT_EQ(z.eigeneSeiten.size(), 2u) << a->fehler() << b->fehler();
  EXPECT_EQ(z.tresor, "leer");
  const Url seiteA = z.seiten[std::to_string(a->pid()) < std::to_string(b->pid()) ? 0 : 1];
  const Url seiteB = z.seiten[std::to_string(a->pid()) < std::to_string(b->pid()) ? 1 : 0];
  auto post = [](const Url& seite, const char* was) {
    return abrufen(seite.mitKomponente(was), "POST", {{"passphrase", "kennwort"}}).status;
  };

  ASSERT_EQ(post(seiteA, "einrichten"), 200);
  ASSERT_EQ(post(seiteA, "sperren"), 200);
  z = sammeln(q);
  EXPECT_EQ(z.tresor, "zu");  // "zu" beats "leer"
  EXPECT_EQ(z.restminuten, std::nullopt);

  ASSERT_EQ(post(seiteB, "einrichten"), 200);
  z = sammeln(q);
  EXPECT_EQ(z.tresor, "offen");  // one open server opens the whole vault
  EXPECT_EQ(z.restminuten, 12);

  ASSERT_EQ(post(seiteA, "entsperren"), 200);
  EXPECT_EQ(sammeln(q).restminuten, 12);
  ASSERT_EQ(post(seiteB, "sperren"), 200);
  EXPECT_EQ(sammeln(q).restminuten, 30);
}

TEST_F(Sammeln, EchtesProgrammUndFremdeInstanz) {
  const int port = freierPort();
  q.port = std::to_string(port);
  auto programm = standIn({"--programm"});
  auto alt = standIn({"--instanz", "--fassung", "1.6.0"});
  q.eigeneFassung = "1.7.2_demo";

  const Zustand z = sammeln(q);
  EXPECT_TRUE(z.programmLaeuft);
  EXPECT_EQ(z.programmPid, programm->pid());
  EXPECT_NE(z.adresse, "");
  ASSERT_EQ(z.seiten.size(), 2u);
  EXPECT_EQ(z.seiten[0].port(), port);
  EXPECT_EQ(z.eigeneSeiten, std::vector<Url>{z.seiten[0]});
  EXPECT_EQ(z.claudePorts.size(), 1u);
  EXPECT_EQ(z.fremdeFassung, "1.6.0");
  EXPECT_EQ(z.tresor, "leer");
  EXPECT_FALSE(z.programmVeraltet || z.selbstVeraltet);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(Sammeln, StatusbefehlZeigtWasDasProgrammSieht) {
  zustandDatei("tunnel.adresse", "https://abc.example/");
  // The stand-in takes every key character the app takes.
  zustandDatei("seite.schluessel", "k.1~-_!$&'()*+,:=@");
  auto instanz = standIn({"--instanz"});
  const Start start{{TW_STATUS},
                    {{"HOME", (welt / "heim").string()}, {"GELD_BOTE_ZUSTAND", q.zustandOrdner.string()}}};
  Kindprozess befehl(start);
  ASSERT_TRUE(endeteMit(befehl.warten(10s), 0)) << befehl.fehler();
  const auto json = nlohmann::json::parse(befehl.ausgabe());
  EXPECT_EQ(json["adresse"], "https://abc.example/");
  EXPECT_EQ(json["aktiv"], true);
  EXPECT_EQ(json["tresor"], "leer");
  EXPECT_TRUE(json["restminuten"].is_null());
  ASSERT_EQ(json["seiten"].size(), 1u);
  const auto seite = Url::aus(json["seiten"][0].get<std::string>());
  ASSERT_TRUE(seite);
  EXPECT_EQ(json["claudePorts"][0], seite->port());
  EXPECT_EQ(seite->pfad(), "/t/k.1~-_!$&'()*+,:=@/");
  EXPECT_EQ(json["eigeneSeiten"], json["seiten"]);  // the bundle's version, as the app sees it
  for (const char* feld :
       {"programmLaeuft", "programmPid", "fremdeFassung", "programmVeraltet", "selbstVeraltet"})
    EXPECT_TRUE(json.contains(feld)) << feld;

  Kindprozess falsch(Start{{TW_STATUS, "--gibts-nicht"}});
  EXPECT_TRUE(endeteMit(falsch.warten(10s), 2));
}

}  // namespace
}  // namespace tw
