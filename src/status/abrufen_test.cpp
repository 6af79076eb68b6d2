#include "status/abrufen.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/roh_server.h"

namespace tw {
namespace {

using Uhr = std::chrono::steady_clock;

const std::string jsonOk = httpAntwort(200, "application/json", R"({"tresor":"zu"})");

Url url(const RohServer& s, std::string_view pfad = "/t/k/zustand") { return *Url::aus(s.adresse(pfad)); }

std::string koerper(const std::string& anfrage) { return anfrage.substr(anfrage.find("\r\n\r\n") + 4); }

TEST(Abrufen, KopfzeilenUndFormularNurBeiPost) {
  RohServer s(jsonOk);
  EXPECT_EQ(abrufen(url(s), "GET / HTTP/1.1\r\nX-Y: z\r\n").status, 0);  // sends nothing
  const Antwort get = abrufen(url(s));
  EXPECT_EQ(get.status, 200);
  EXPECT_EQ(get.json.value_or(nullptr)["tresor"], "zu");
  EXPECT_EQ(abrufen(url(s, "/t/k/entsperren"), "POST", {{"passphrase", "a b&c=d"}}).status, 200);
  abrufen(url(s, "/e"), "POST", {{"passphrase", "ä"}});
  abrufen(url(s, "/e"), "post", {{"passphrase", "x"}});
  abrufen(url(s, "/s"), "POST");

  const auto a = s.anfragen();
  ASSERT_EQ(a.size(), 5u);
  EXPECT_EQ(a[0].rfind("GET /t/k/zustand HTTP/1.1\r\n", 0), 0u) << a[0];
  EXPECT_NE(a[0].find("\r\nSec-Fetch-Site: same-origin\r\n"), std::string::npos);
  EXPECT_NE(a[0].find("\r\nOrigin: " + s.adresse("") + "\r\n"), std::string::npos);
  EXPECT_EQ(a[0].find("Content-Type"), std::string::npos);
  EXPECT_EQ(koerper(a[0]), "");
  EXPECT_EQ(a[1].rfind("POST /t/k/entsperren HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(a[1].find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
  EXPECT_EQ(koerper(a[1]), "passphrase=a%20b%26c%3Dd");
  EXPECT_EQ(koerper(a[2]), "passphrase=%C3%A4");
  EXPECT_EQ(a[3].rfind("post /e HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(a[3].find("Content-Type"), std::string::npos);
  EXPECT_EQ(koerper(a[3]), "");
  EXPECT_NE(a[4].find("\r\nContent-Length: 0\r\n"), std::string::npos);
  EXPECT_EQ(formKodiert("AZaz09-._~ /+%*"), "AZaz09-._~%20%2F%2B%25%2A");
}

TEST(Abrufen, OhneJsonObjektBleibtDerStatus) {
  struct Fall {
    std::string antwort;
    std::int64_t status;
    bool json;
  };
  const std::string riesig = "{\"x\":\"" + std::string(groessteAntwort, 'a') + "\"}";
  const std::string tief = "{\"a\":" + std::string(33, '[') + std::string(33, ']') + "}";
  const Fall faelle[] = {
      {httpAntwort(404, "text/html", "<html>weg</html>"), 404, false},
      {httpAntwort(200, "application/json", "[1,2]"), 200, false},
      {httpAntwort(500, "application/json", R"({"fehler":"x"})"), 500, true},
      {httpAntwort(200, "application/json", "\"text\""), 200, false},
      {httpAntwort(200, "application/json", riesig), 200, false},
      {httpAntwort(200, "application/json", tief), 200, false},
      {httpAntwort(200, "application/json", R"({"a":"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[\"[["})"), 200, true},
      {httpAntwort(204, "text/plain", ""), 204, false},
      {"SSH-2.0-nicht-http\r\n", 0, false},
  };
  for (const Fall& f : faelle) {
    RohServer s(f.antwort);
    const Antwort a = abrufen(url(s));
    EXPECT_EQ(a.status, f.status) << f.antwort.substr(0, 40);
    EXPECT_EQ(a.json.has_value(), f.json) << f.antwort.substr(0, 40);
  }
}

TEST(Abrufen, KeineUmleitungKeinProxyNurLoopback) {
  RohServer ziel(jsonOk);
  RohServer umleitung(httpAntwort(307, "text/plain", "", "Location: " + ziel.adresse("/x") + "\r\n"));
  EXPECT_EQ(abrufen(url(umleitung), "POST", {{"passphrase", "geheim"}}).status, 307);
  EXPECT_TRUE(ziel.anfragen().empty());

  const std::string tot = "http://127.0.0.1:" + std::to_string(freierPort());
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
    setenv(name, tot.c_str(), 1);
  EXPECT_EQ(abrufen(url(ziel)).status, 200);
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  EXPECT_EQ(ziel.anfragen().size(), 1u);

  // Only loopback names: 0.0.0.0 would reach this computer too, but is refused.
  ProtokollMitschnitt protokoll;
  const auto antworten = alleAbrufen(
      {*Url::aus("http://0.0.0.0:" + std::to_string(ziel.port()) + "/x"), url(umleitung), url(ziel)});
  EXPECT_EQ(ziel.anfragen().size(), 2u);
  ASSERT_EQ(antworten.size(), 3u);
  EXPECT_EQ(antworten[0].status, 0);
  EXPECT_EQ(antworten[1].status, 307);
  EXPECT_EQ(antworten[2].json.value_or(nullptr)["tresor"], "zu");
  EXPECT_EQ(protokoll.zeilen(), std::vector<std::string>{"Taler Wacht: Anfrage an „0.0.0.0“ verweigert — nur "
                                                         "Seiten auf diesem Rechner"});
}

TEST(Abrufen, GibtMitStatusNullAuf) {
  const auto beginn = Uhr::now();
  EXPECT_EQ(abrufen(*Url::aus("http://127.0.0.1:" + std::to_string(freierPort()) + "/")).status, 0);
  EXPECT_LT(Uhr::now() - beginn, std::chrono::seconds(1));

  RohServer stumm("", RohServer::Art::schweigen), tropf("", RohServer::Art::troepfeln);
  auto gemessen = [](const RohServer& s) {
    return std::async(std::launch::async, [&s] {
      const auto start = Uhr::now();
      const std::int64_t status = abrufen(url(s)).status;
      return std::make_pair(status, Uhr::now() - start);
    });
  };
  auto stummFertig = gemessen(stumm), tropfFertig = gemessen(tropf);
  const auto [stummStatus, stummDauer] = stummFertig.get();
  const auto [tropfStatus, tropfDauer] = tropfFertig.get();
  EXPECT_EQ(stummStatus + tropfStatus, 0);
  EXPECT_GE(stummDauer, std::chrono::milliseconds(3900));
  EXPECT_LE(std::max(stummDauer, tropfDauer), std::chrono::milliseconds(5500));
}

}  // namespace
}  // namespace tw
