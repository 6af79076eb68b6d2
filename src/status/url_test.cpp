#include "status/url.h"

#include "status/seitenregeln.h"
#include "test.h"

namespace tw {
namespace {

Url u(std::string_view text) { return Url::aus(text).value(); }

TEST(Url, TeileWieGeschrieben) {
  const Url seite = u("http://127.0.0.1:8858/t/abc/");
  EXPECT_EQ(seite.schema() + " " + seite.host() + " " + seite.pfad() + " " + seite.letzteKomponente(),
            "http 127.0.0.1 /t/abc/ abc");
  EXPECT_EQ(seite.port(), 8858);
  EXPECT_EQ(seite.text(), "http://127.0.0.1:8858/t/abc/");
  EXPECT_EQ(u("http://[::1]:9000/neu-starten").host(), "::1");
  EXPECT_EQ(u("http://[::1]:9000/neu-starten").letzteKomponente(), "neu-starten");
  EXPECT_EQ(u("http://LocalHost/").host(), "LocalHost");
  EXPECT_EQ(u("HTTPS://localhost/").port(), std::nullopt);
  EXPECT_EQ(u("file:///tmp/seite").host(), "");
  for (const char* kaputt : {"/t/x", "", "127.0.0.1:8858/t/k/", "http://127.0.0.1:8858/t/a b/",
                             "http://127.0.0.1:99999/", "http://127.0.0.1:-1/", "http://[::1/",
                             "http://evil.example\\@127.0.0.1:5500/t/k/", "http://[::1%2e]:5500/"})
    EXPECT_FALSE(Url::aus(kaputt)) << kaputt;
  EXPECT_FALSE(Url::aus(std::string_view("http://127.0.0.1/\0x", 19)));

  EXPECT_EQ(u("http://127.0.0.1:8858").mitKomponente("zustand").text(), "http://127.0.0.1:8858/zustand");
  EXPECT_EQ(u("http://h/a?x=1").mitKomponente("b c/d").text(), "http://h/a/b%20c%2fd?x=1");
  EXPECT_EQ(seite.mitKomponente("chatbots").mitFragment("chatgpt").text(),
            "http://127.0.0.1:8858/t/abc/chatbots#chatgpt");
  // A log line names no path, query or user that could carry a token.
  EXPECT_EQ(schemaUndHost("https://nutzer:pw@bank.example/t/geheim?token=x#y"), "https://bank.example");
  EXPECT_EQ(schemaUndHost("kein schema"), "?");
}

TEST(Seitenregeln, LoopbackUndLokaleSeite) {
  for (const char* ja : {"http://127.0.0.1:8858/t/k/", "HTTPS://localhost/", "http://[::1]:9000/"})
    EXPECT_TRUE(loopback(u(ja))) << ja;
  for (const char* nein : {"http://192.168.0.2:8858/", "file:///tmp/seite", "http://LOCALHOST/",
                           "ftp://127.0.0.1/", "http://127.0.0.1.example/", "http://[::ffff:127.0.0.1]/"})
    EXPECT_FALSE(loopback(u(nein))) << nein;

  // Same port as an allowed page; no port means 80, and only an allowed page that writes out 80 matches it.
  const std::vector<Url> erlaubte = {u("http://127.0.0.1:8858/t/k/"), u("http://127.0.0.1/")};
  for (const char* ja : {"http://localhost:8858/", "https://127.0.0.1:8858/x"})
    EXPECT_TRUE(lokaleSeite(u(ja), erlaubte)) << ja;
  for (const char* nein :
       {"http://127.0.0.1:8859/t/k/", "http://192.168.0.2:8858/", "http://127.0.0.1/neu-starten"})
    EXPECT_FALSE(lokaleSeite(u(nein), erlaubte)) << nein;
  EXPECT_FALSE(lokaleSeite(u("http://127.0.0.1:8858/"), {}));
  EXPECT_TRUE(lokaleSeite(u("http://127.0.0.1/neu-starten"), {u("http://127.0.0.1:80/t/k/")}));
}

}  // namespace
}  // namespace tw
