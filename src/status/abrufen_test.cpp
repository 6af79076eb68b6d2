#include "status/abrufen.h"

#include <cstdlib>
#include <future>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/roh_server.h"
#include "test.h"

namespace tw {
namespace {

using Texte = std::vector<std::string>;
using Stati = std::vector<std::int64_t>;
using Uhr = std::chrono::steady_clock;

const std::string jsonOk = httpAntwort(200, "application/json", R"({"tresor":"zu"})");

Url url(const RohServer& s, std::string_view pfad = "/t/k/zustand") { return *Url::aus(s.adresse(pfad)); }

Stati stati(const std::vector<Antwort>& antworten) {
  Stati s;
  for (const Antwort& a : antworten) s.push_back(a.status);
  return s;
}

TEST(Abrufen, KopfzeilenUndFormularNurBeiPost) {
  RohServer s(jsonOk);
  EXPECT_EQ(abrufen(url(s), "GET / HTTP/1.1\r\nX-Y: z\r\n").status, 0);  // sends nothing
  EXPECT_EQ(abrufen(url(s)).json.value_or(nullptr)["tresor"], "zu");
  EXPECT_EQ(abrufen(url(s, "/t/k/entsperren"), "POST", {{"passphrase", "a b&c=d"}}).status, 200);
  abrufen(url(s, "/e"), "post", {{"passphrase", "x"}});
  abrufen(url(s, "/s"), "POST");
  const std::string h = s.adresse("").substr(7);
  const std::string kopf = " HTTP/1.1\r\nHost: " + h +
                           "\r\nAccept: */*\r\nSec-Fetch-Site: same-origin\r\nOrigin: http://" + h + "\r\n";
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: ";
  EXPECT_EQ(s.anfragen(), (Texte{"GET /t/k/zustand" + kopf + "\r\n",
                                 "POST /t/k/entsperren" + kopf + form + "24\r\n\r\npassphrase=a%20b%26c%3Dd",
                                 "post /e" + kopf + "\r\n", "POST /s" + kopf + form + "0\r\n\r\n"}));
  EXPECT_EQ(formKodiert("AZaz09-._~ /+%*ä"), "AZaz09-._~%20%2F%2B%25%2A%C3%A4");
}

// Whatever the status: only a JSON object within the bounds, and valid UTF-8, counts.
TEST(Abrufen, OhneJsonObjektBleibtDerStatus) {
  const auto json = [](int status, const std::string& koerper) {
    return httpAntwort(status, "application/json", koerper);
  };
  const std::string riesig = "{\"x\":\"" + std::string(groessteAntwort, 'a') + "\"}";
  const std::string tief = "{\"a\":" + std::string(33, '[') + std::string(33, ']') + "}";
  const std::tuple<std::string, std::int64_t, bool> faelle[] = {
      {httpAntwort(404, "text/html", "<html>weg</html>"), 404, false},
      {json(500, R"({"fehler":"x"})"), 500, true},
      {json(200, "[1,2]"), 200, false},
      {json(200, riesig), 200, false},
      {json(200, tief), 200, false},
      {json(200, R"({"a":"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[\"[["})"), 200, true},
      {"SSH-2.0-nicht-http\r\n", 0, false},
      {json(200, "{\"tresor\":\"\xff\xfe\"}"), 200, false},
      {"HTTP/1.1 200 \xc3\x28\r\nContent-Length: 3\r\n\r\n\xed\xa0\x80", 200, false},
  };
  for (const auto& [antwort, status, mitJson] : faelle) {
    RohServer s(antwort);
    const Antwort a = abrufen(url(s));
    EXPECT_EQ(std::make_pair(a.status, a.json.has_value()), std::make_pair(status, mitJson))
        << antwort.substr(0, 40);
  }
}

// The passphrase goes nowhere else: no redirect, no proxy, and only loopback
// names; 0.0.0.0 would reach this computer too, but is refused.
TEST(Abrufen, KeineUmleitungKeinProxyNurLoopback) {
  RohServer ziel(jsonOk);
  RohServer umleitung(httpAntwort(307, "text/plain", "", "Location: " + ziel.adresse("/x") + "\r\n"));
  EXPECT_EQ(abrufen(url(umleitung), "POST", {{"passphrase", "geheim"}}).status, 307);
  EXPECT_TRUE(ziel.anfragen().empty());

  const std::string tot = "http://127.0.0.1:" + std::to_string(freierPort());
  const auto proxies = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"};
  for (const char* name : proxies) setenv(name, tot.c_str(), 1);
  ProtokollMitschnitt protokoll;
  const Url nullen = *Url::aus("http://0.0.0.0:" + std::to_string(ziel.port()) + "/x");
  EXPECT_EQ(stati(alleAbrufen({nullen, url(umleitung), url(ziel)})), (Stati{0, 307, 200}));
  EXPECT_EQ(abrufen(url(ziel)).status, 200);
  for (const char* name : proxies) unsetenv(name);
  EXPECT_EQ(ziel.anfragen().size(), 2u);
  EXPECT_EQ(protokoll.zeilen(),
            Texte{"Taler Wacht: Anfrage an „0.0.0.0“ verweigert — nur Seiten auf diesem Rechner"});
}

// A page that stays silent gets four seconds, and none is asked longer than
// five, however it trickles: alone, among others, or where nothing listens.
TEST(Abrufen, StilleUndTroepfelndeSeitenGebenStatusNull) {
  RohServer stumm("", RohServer::Art::schweigen), tropf("", RohServer::Art::troepfeln);
  const Url tot = *Url::aus("http://127.0.0.1:" + std::to_string(freierPort()) + "/");
  const auto beginn = Uhr::now();
  auto einzeln = std::async(std::launch::async, [&] { return abrufen(url(tropf)).status; });
  EXPECT_EQ(stati(alleAbrufen({url(stumm), tot})), (Stati{0, 0}));
  EXPECT_GE(Uhr::now() - beginn, 3900ms);
  EXPECT_EQ(einzeln.get(), 0);
  EXPECT_LE(Uhr::now() - beginn, 5500ms);
}

}  // namespace
}  // namespace tw
