#include "status/url.h"

#include <gtest/gtest.h>

#include "status/seitenregeln.h"

namespace tw {
namespace {

Url u(std::string_view text) {
  auto url = Url::aus(text);
  EXPECT_TRUE(url) << text;
  return url.value_or(*Url::aus("http://ungueltig.invalid/"));
}

TEST(Url, TeileWieGeschrieben) {
  const Url seite = u("http://127.0.0.1:8858/t/abc/");
  EXPECT_EQ(seite.schema(), "http");
  EXPECT_EQ(seite.host(), "127.0.0.1");
  EXPECT_EQ(seite.port(), 8858);
  EXPECT_EQ(seite.pfad(), "/t/abc/");
  EXPECT_EQ(seite.letzteKomponente(), "abc");
  EXPECT_EQ(seite.text(), "http://127.0.0.1:8858/t/abc/");

  EXPECT_EQ(u("http://[::1]:9000/neu-starten").host(), "::1");
  EXPECT_EQ(u("http://[::1]:9000/neu-starten").letzteKomponente(), "neu-starten");
  EXPECT_EQ(u("http://LocalHost/").host(), "LocalHost");
  EXPECT_EQ(u("HTTPS://localhost/").port(), std::nullopt);
  EXPECT_EQ(u("file:///tmp/x").host(), "");

  for (const char* kaputt : {"/t/x", "", "127.0.0.1:8858/t/k/", "http://127.0.0.1:8858/t/a b/",
                             "http://127.0.0.1:99999/", "http://127.0.0.1:-1/", "http://[::1/"})
    EXPECT_FALSE(Url::aus(kaputt)) << kaputt;
  EXPECT_FALSE(Url::aus(std::string_view("http://127.0.0.1/\0x", 19)));
}

TEST(Url, KomponenteUndFragment) {
  EXPECT_EQ(u("http://127.0.0.1:8858/t/abc/").mitKomponente("zustand").text(),
            "http://127.0.0.1:8858/t/abc/zustand");
  EXPECT_EQ(u("http://127.0.0.1:8858").mitKomponente("zustand").text(), "http://127.0.0.1:8858/zustand");
  EXPECT_EQ(u("http://h/a?x=1").mitKomponente("b c/d").text(), "http://h/a/b%20c%2fd?x=1");
  EXPECT_EQ(u("http://127.0.0.1:8858/t/k/").mitKomponente("chatbots").mitFragment("chatgpt").text(),
            "http://127.0.0.1:8858/t/k/chatbots#chatgpt");
}

TEST(Seitenregeln, LoopbackIstHttpZuGenauDiesenHosts) {
  for (const char* ja : {"http://127.0.0.1:8858/t/k/", "HTTPS://localhost/", "http://[::1]:9000/"})
    EXPECT_TRUE(loopback(u(ja))) << ja;
  for (const char* nein : {"http://192.168.0.2:8858/", "file:///tmp/x", "http://LOCALHOST/",
                           "ftp://127.0.0.1/", "http://127.0.0.1.example/", "http://[::ffff:127.0.0.1]/"})
    EXPECT_FALSE(loopback(u(nein))) << nein;
}

TEST(Seitenregeln, LokaleSeiteTeiltDenPortEinerErlaubten) {
  const std::vector<Url> erlaubte = {u("http://127.0.0.1:8858/t/k/")};
  EXPECT_TRUE(lokaleSeite(u("http://localhost:8858/"), erlaubte));
  EXPECT_TRUE(lokaleSeite(u("https://127.0.0.1:8858/anderes"), erlaubte));
  EXPECT_FALSE(lokaleSeite(u("http://127.0.0.1:8859/t/k/"), erlaubte));
  EXPECT_FALSE(lokaleSeite(u("http://192.168.0.2:8858/"), erlaubte));
  EXPECT_FALSE(lokaleSeite(u("http://127.0.0.1:8858/"), {}));

  // No port means 80, and only an allowed page that writes out 80 matches it.
  EXPECT_TRUE(loopback(u("http://127.0.0.1/neu-starten")));
  EXPECT_FALSE(lokaleSeite(u("http://127.0.0.1/neu-starten"), {u("http://127.0.0.1/")}));
  EXPECT_TRUE(lokaleSeite(u("http://127.0.0.1/neu-starten"),
                          {u("http://127.0.0.1/"), u("http://127.0.0.1:80/t/k/")}));
}

}  // namespace
}  // namespace tw
