#include "setupwindow/fenster.h"

#include <algorithm>
#include <cctype>
#include <csignal>

#include "app/dateien.h"
#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"
#include "fakes/virtuelle_schleife.h"
#include "setupwindow/fensterregeln.h"
#include "test.h"

namespace tw {
namespace {

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
           {"https://talerwacht.de/neu-starten", browser, ""},
           {"http://localhost:8858/fenster-schliessen", zu, ""},
           {"about:blank", erlaubt, ""},
           {"ABOUT:blank", gemeldet, "ABOUT"},
           {"http://127.0.0.1:8858/chatbots#chatgpt", erlaubt, ""},
           {"http://127.0.0.1:9999/", unerreichbar, ""},
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
    EXPECT_TRUE(
        schliessHinweisText(restminuten).starts_with("Der Tresor bleibt " + zeit + " offen, der Chat"));
    EXPECT_EQ(w.dialoge.hinweise,
              (std::vector{Hinweis{.nachricht = "Nur das Fenster ist zu — der Tresor bleibt offen",
                                   .text = schliessHinweisText(restminuten),
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
  const Hinweis ausfall{
      .nachricht = "Das Einrichtungsfenster ließ sich nicht öffnen",
      .text = "Die Seiten der Einrichtung lassen sich stattdessen im Standardbrowser öffnen.",
      .knoepfe = {"Im Browser öffnen", "Abbrechen"}};
  const Hinweis ohneBrowser{.nachricht = "Der Standardbrowser ließ sich nicht öffnen",
                            .text = "Die Seite steht unter " + erste + ".",
                            .knoepfe = {"OK"}};
  // A page shown before the failure, one asked for while its alert is open, the answer, whether the
  // browser takes pages, and where the pages went: the browser's addresses, whether "gezeigt" ran, the
  // window's first step afterwards.
  for (const auto& [vorher, waehrend, antwort, geht, imBrowser, gezeigt, danach] :
       std::vector<std::tuple<bool, bool, int, bool, std::vector<std::string>, bool, std::string>>{
           {true, false, ersterKnopf, true, {erste}, false, "seite " + zweite},
           {true, false, ersterKnopf, false, {erste}, false, "seite " + zweite},
           {true, false, ersterKnopf + 1, true, {}, false, "seite " + zweite},
           {false, false, ersterKnopf, true, {zweite}, false, ""},
           {true, true, ersterKnopf, true, {zweite}, true, ""},
           {true, true, ersterKnopf + 1, true, {}, false, ""}}) {
    Fensterwelt w;
    vorher ? w.fenster.zeigen(*Url::aus(erste)) : w.fenster.warten();
    bool lief = false;
    if (waehrend) w.dialoge.waehrend = [&] { w.fenster.zeigen(*Url::aus(zweite), [&] { lief = true; }); };
    w.dialoge.antworten = {Wahl{antwort}};
    w.browser.gelingt = geht;
    w.fenster.fensterAusgefallen();
    // The next page: in the browser once the user chose it before there was one, else in the window.
    w.web.schritte.clear();
    if (!waehrend) w.fenster.zeigen(*Url::aus(zweite));
    EXPECT_EQ(std::tuple(w.browser.adressen, lief, w.web.schritte.empty() ? "" : w.web.schritte.front()),
              std::tuple(imBrowser, gezeigt, danach));
    // A browser that does not take the page is said too.
    EXPECT_EQ(w.dialoge.hinweise, (geht ? std::vector{ausfall} : std::vector{ausfall, ohneBrowser}));
  }
}

TEST(Fensterregeln, RahmenNachGespeichertemUndBildschirm) {
  const Flaeche gross{0, 0, 1920, 1080}, klein{1920, 0, 800, 768};
  using R = GespeicherterRahmen;
  // Saved frame, work areas (primary first), whether places count, and the outcome.
  for (const auto& [gespeichert, flaechen, ortBekannt, soll] :
       std::vector<std::tuple<R, std::vector<Flaeche>, bool, Rahmenwahl>>{
           {{}, {}, true, {820, 820}},
           {{}, {klein, gross}, true, {720, 688}},
           {{900, 1000, 1925, 5}, {gross, klein}, true, {900, 1000, std::pair(1925, 5)}},
           {{900, 1000, 1925, 5}, {gross, klein}, false, {900, 1000}},  // Wayland
           {{900, 1000, 1, {}}, {gross}, true, {900, 1000}},
           {{900, 1000, -5000, 5}, {gross}, true, {900, 1000}},  // off every screen
           {{819, 1000, 5, 5}, {gross}, true, {820, 980}},       // smaller than the default
           {{900, 979, 5, 5}, {gross}, true, {820, 980}},
           {{900, {}, 5, 5}, {gross}, true, {820, 980}}})
    EXPECT_EQ(rahmenWaehlen(gespeichert, flaechen, ortBekannt), soll) << gespeichert.breite.value_or(0);
}

TEST(Fensterregeln, LadenFristWebprozessUndAntwort) {
  // One view's steps: b begun, r redirected, u committed, f finished; a failure at b, r or u in capitals,
  // x one at b that was cancelled. Reported: - nothing, e the limit ends, g loaded, F failed.
  for (const auto& [schritte, soll] : std::vector<std::pair<std::string, std::string>>{
           {"buf", "-eg"}, {"brRf", "--F-"}, {"bxf", "---"}, {"buUf", "-e--"}, {"bBfbf", "-F--g"}}) {
    Ladeverlauf v;
    std::string ist;
    for (const char c : schritte) {
      const auto s = std::string("brufBRUFx").find(c) % 4;
      const auto folge =
          std::isupper(c) || c == 'x' ? v.fehler(Ladeschritt(s), c == 'x') : v.schritt(Ladeschritt(s));
      ist += "-egF"[static_cast<int>(folge)];
    }
    EXPECT_EQ(ist, soll) << schritte;
  }
  EXPECT_EQ(keineAntwort(300ms), "Keine Antwort innerhalb von 300 ms");
  EXPECT_EQ(keineAntwort(60500ms), "Keine Antwort innerhalb von 60 s");
  using W = Webprozessfolge;
  EXPECT_EQ(webprozessEnde(true, true, 0), W::uebergehen);    // ended on purpose
  EXPECT_EQ(webprozessEnde(false, false, 0), W::uebergehen);  // nothing to show again
  EXPECT_EQ(webprozessEnde(false, true, hoechstensWiederbelebt - 1), W::neuLaden);
  EXPECT_EQ(webprozessEnde(false, true, hoechstensWiederbelebt), W::aufgeben);
  // Yes goes ahead, or loads a new window's page in this view; no does neither.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(antwortFolge(i & 1, i & 2), (Antwortfolge{i == 1, i == 3})) << i;
  EXPECT_EQ(wieBeendet(3 << 8), "endete mit Status 3");
  EXPECT_EQ(wieBeendet(SIGSEGV), "endete durch Signal 11 (Segmentation fault)");
}

}  // namespace
}  // namespace tw
