#include "setupwindow/fenster.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/dateien.h"
#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"
#include "fakes/virtuelle_schleife.h"
#include "helfer/temp_ordner.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

struct Fensterwelt {
  explicit Fensterwelt(bool seiteModus = false)
      : fenster(web, dialoge, browser, schleife,
                Fensterorte{ordner / "konfig", ordner.pfad(), "Taler Wacht", seiteModus,
                            seiteModus ? std::filesystem::path("/anderswo") : ordner.pfad().parent_path()}) {
    fenster.erlaubteSeiten = {*Url::aus("http://127.0.0.1:8858/"), *Url::aus("http://localhost:8860/k/")};
    fenster.neuStarten = [this] { ++neustarts; };
    fenster.sperren = [this] { ++gesperrt; };
  }
  bool zeigt(std::string_view text) const { return web.html.find(text) != std::string::npos; }

  TempOrdner ordner;
  VirtuelleSchleife schleife;
  WebfensterMitschnitt web;
  DialogeNachPlan dialoge;
  BrowserMitschnitt browser;
  Fenster fenster;
  int neustarts = 0, gesperrt = 0;
};

TEST(Fenster, NavigationNachDenRegelnInIhrerReihenfolge) {
  enum Folge { verweigert, erlaubt, neuStart, zu, unerreichbar, browser, gemeldet };
  // The address, what follows, and for a refusal the scheme the log line names.
  for (const auto& [adresse, folge, schema] : std::vector<std::tuple<std::string, Folge, std::string>>{
           {"", verweigert, ""},
           {"http://127.0.0.1/neu-starten", neuStart, ""},
           {"https://[::1]:4/a/neu-starten/", neuStart, ""},
           {"https://talerwacht.de/neu-starten", browser, ""},
           {"http://localhost:8858/fenster-schliessen", zu, ""},
           {"about:blank", erlaubt, ""},
           {"ABOUT:blank", gemeldet, "ABOUT"},
           {"http://127.0.0.1:8858/chatbots#chatgpt", erlaubt, ""},
           {"http://127.0.0.1:9999/", unerreichbar, ""},
           {"http://127.0.0.2:8858/", browser, ""},
           {"HTTPS://talerwacht.de/hilfe", browser, ""},
           {"mailto:hilfe@talerwacht.de", gemeldet, "mailto"},
           {"http://[zz/", gemeldet, "http"},
           {"kein schema", gemeldet, "?"}}) {
    SCOPED_TRACE(adresse);
    Fensterwelt w;
    ProtokollMitschnitt protokoll;
    w.fenster.zeigen(*Url::aus("http://127.0.0.1:8858/"));
    w.fenster.tresorOffen = [] { return std::pair(true, std::optional<std::int64_t>{}); };
    w.web.schritte.clear();

    EXPECT_EQ(w.fenster.navigationErlauben(adresse), folge == erlaubt);
    EXPECT_EQ(w.neustarts, folge == neuStart);
    EXPECT_EQ(w.zeigt("Taler Wacht startet …"), folge == neuStart);
    EXPECT_EQ(w.zeigt("Die Seite ist nicht mehr erreichbar"), folge == unerreichbar);
    EXPECT_EQ(std::count(w.web.schritte.begin(), w.web.schritte.end(), "zu"), folge == zu);
    EXPECT_EQ(lesen(w.fenster.hinweisDatei()) == "gesehen", folge == zu);
    EXPECT_TRUE(w.dialoge.hinweise.empty());  // a page that closes the window shows no notice
    EXPECT_EQ(w.browser.adressen, folge == browser ? std::vector{adresse} : std::vector<std::string>{});
    EXPECT_EQ(protokoll.zeilen(), folge == gemeldet
                                      ? std::vector{"Taler Wacht: Fenster lässt " + schema + ": nicht durch"}
                                      : std::vector<std::string>{});
  }
}

TEST(Fenster, SchliessHinweisHoechstensEinmal) {
  // Vault open, minutes left, the marker file's content before closing, the answer, and the notice's
  // time part ("": no notice).
  for (const auto& [offen, restminuten, marke, antwort, zeit] :
       std::vector<std::tuple<bool, std::optional<std::int64_t>, const char*, int, std::string>>{
           {true, 25, nullptr, ersterKnopf, "noch 25 Minuten"},
           {true, 1, nullptr, ersterKnopf, "noch 1 Minuten"},
           {true, {}, "anders", ersterKnopf + 1, "bis Du ihn sperrst"},
           {true, 25, " gesehen\n", ersterKnopf + 1, ""},
           {false, {}, nullptr, ersterKnopf + 1, ""}}) {
    Fensterwelt w;
    w.fenster.tresorOffen = [&] { return std::pair(offen, restminuten); };
    std::filesystem::create_directories(w.ordner / "konfig");
    if (marke) dateiSchreiben(w.fenster.hinweisDatei(), marke);
    w.dialoge.antworten = {Wahl{antwort}};
    EXPECT_TRUE(w.fenster.sollSchliessen());
    EXPECT_TRUE(w.fenster.sollSchliessen());  // the second close is quiet
    EXPECT_EQ(w.gesperrt, !zeit.empty() && antwort == ersterKnopf + 1);
    EXPECT_EQ(lesen(w.fenster.hinweisDatei()) == "gesehen", offen);
    EXPECT_EQ(w.dialoge.hinweise.empty(), zeit.empty());
    if (zeit.empty()) continue;
    EXPECT_EQ(rechte(w.fenster.hinweisDatei()), 0600u);
    EXPECT_EQ(
        w.dialoge.hinweise,
        (std::vector{Hinweis{
            .nachricht = "Nur das Fenster ist zu — der Tresor bleibt offen",
            .text = "Der Tresor bleibt " + zeit +
                    " offen, der Chat kann weiter Deine Konten abfragen. Sperren kannst Du ihn jederzeit "
                    "über das Symbol in der Menüleiste — dort siehst Du auch, wie lange er noch offen ist.",
            .knoepfe = {"Verstanden", "Tresor jetzt sperren"},
            .tresorBild = true,
            .ersterAufEscape = true}}));  // Escape must not lock the vault
  }
}

TEST(Fenster, WartenZeigenUndFehlgeschlagenesLaden) {
  for (const bool seiteModus : {false, true}) {
    Fensterwelt w(seiteModus);
    EXPECT_TRUE(w.web.schritte.empty());  // nothing is built before it is needed
    w.schleife.vorruecken(5s);
    w.fenster.warten();
    EXPECT_EQ(w.fenster.wartetSeit, w.schleife.jetzt());
    EXPECT_TRUE(w.zeigt("<h2>Taler Wacht startet …</h2>"));
    w.fenster.warteHinweisVerlaengert();
    EXPECT_TRUE(w.fenster.langeGewartet);
    const std::string log = seiteModus ? (w.ordner / "start.log").string()
                                       : "~/" + w.ordner.pfad().filename().string() + "/start.log";
    EXPECT_TRUE(
        w.zeigt("Das Protokoll steht in\n" + log +
                ".</p>\n<a class=\"knopf\" href=\"http://127.0.0.1/neu-starten\">Noch einmal starten</a>"));
    w.fenster.warten();
    EXPECT_FALSE(w.fenster.langeGewartet);  // a new wait starts afresh

    w.fenster.zeigen(*Url::aus("http://127.0.0.1:8858/"));
    EXPECT_FALSE(w.fenster.wartetSeit);
    EXPECT_EQ(w.web.frist, 60s);
    EXPECT_EQ(w.web.schritte, (std::vector<std::string>{"aufbauen", "html", "vorne", "html", "vorne", "html",
                                                        "vorne", "seite http://127.0.0.1:8858/", "vorne"}));

    w.fenster.geladen();
    EXPECT_EQ(rohLesen(w.ordner / "menue.fenster.log", 100),
              seiteModus ? std::optional<std::string>("geladen http://127.0.0.1:8858/\n") : std::nullopt);

    w.fenster.ladenFehlgeschlagen("<b>Tom & Jerry</b> &lt;");
    EXPECT_TRUE(w.zeigt("<h2 style=\"font-weight: 600\">Die Seite antwortet nicht</h2>"));
    EXPECT_TRUE(w.zeigt("font-size: 13px\">&lt;b>Tom &amp; Jerry&lt;/b> &amp;lt;</p></body></html>"));
  }
}

TEST(Fenster, AusfallBietetDenBrowserAn) {
  const std::string erste = "http://127.0.0.1:8858/", zweite = "http://localhost:8860/k/";
  // A page shown before the failure, one asked for while its alert is open, the answer, and
  // where the pages went: the browser's addresses, whether "gezeigt" ran, the window's last step.
  for (const auto& [vorher, waehrend, antwort, imBrowser, gezeigt, danach] :
       std::vector<std::tuple<bool, bool, int, std::vector<std::string>, bool, std::string>>{
           {true, false, ersterKnopf, {erste}, false, "seite " + zweite},
           {true, false, ersterKnopf + 1, {}, false, "seite " + zweite},
           {false, false, ersterKnopf, {zweite}, false, ""},
           {true, true, ersterKnopf, {zweite}, true, ""},
           {true, true, ersterKnopf + 1, {}, false, ""}}) {
    Fensterwelt w;
    if (vorher)
      w.fenster.zeigen(*Url::aus(erste));
    else
      w.fenster.warten();
    bool lief = false;
    if (waehrend) w.dialoge.waehrend = [&] { w.fenster.zeigen(*Url::aus(zweite), [&] { lief = true; }); };
    w.dialoge.antworten = {Wahl{antwort}};
    w.fenster.fensterAusgefallen();
    ASSERT_EQ(w.dialoge.hinweise.size(), 1u);
    EXPECT_EQ(
        w.dialoge.hinweise[0],
        (Hinweis{.nachricht = "Das Einrichtungsfenster ließ sich nicht öffnen",
                 .text = "Die Seiten der Einrichtung lassen sich stattdessen im Standardbrowser öffnen.",
                 .knoepfe = {"Im Browser öffnen", "Abbrechen"}}));
    EXPECT_EQ(lief, gezeigt);
    // The next page: in the browser once the user chose it before there was one, else in the window.
    w.web.schritte.clear();
    if (!waehrend) w.fenster.zeigen(*Url::aus(zweite));
    EXPECT_EQ(w.browser.adressen, imBrowser);
    EXPECT_EQ(w.web.schritte.empty() ? "" : w.web.schritte.front(), danach);
  }
  // A browser that does not take the page is said too.
  Fensterwelt w;
  w.fenster.zeigen(*Url::aus(erste));
  w.browser.gelingt = false;
  w.dialoge.antworten = {Wahl{ersterKnopf}};
  w.fenster.fensterAusgefallen();
  ASSERT_EQ(w.dialoge.hinweise.size(), 2u);
  EXPECT_EQ(w.dialoge.hinweise[1], (Hinweis{.nachricht = "Der Standardbrowser ließ sich nicht öffnen",
                                            .text = "Die Seite steht unter " + erste + ".",
                                            .knoepfe = {"OK"}}));
}

}  // namespace
}  // namespace tw
