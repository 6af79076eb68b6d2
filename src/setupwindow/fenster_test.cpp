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
                Fensterorte{ordner / "konfig", ordner.pfad(), "Taler Wacht", seiteModus}) {
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
  enum Folge { verweigert, erlaubt, neuStart, zu, unerreichbar, browser, protokoll };
  struct Fall {
    std::string adresse;
    Folge folge;
    std::string zeile = {};
  };
  for (const auto& f : std::vector<Fall>{
           {"", verweigert},
           {"http://127.0.0.1/neu-starten", neuStart},
           {"https://[::1]:4/a/neu-starten/", neuStart},
           {"https://talerwacht.de/neu-starten", browser},
           {"http://localhost:8858/fenster-schliessen", zu},
           {"about:blank", erlaubt},
           {"ABOUT:blank", protokoll, "Taler Wacht: Fenster lässt ABOUT: nicht durch"},
           {"http://127.0.0.1:8858/chatbots#chatgpt", erlaubt},
           {"http://127.0.0.1:9999/", unerreichbar},
           {"http://127.0.0.2:8858/", browser},
           {"HTTPS://talerwacht.de/hilfe", browser},
           {"mailto:hilfe@talerwacht.de", protokoll, "Taler Wacht: Fenster lässt mailto: nicht durch"},
           {"http://[zz/", protokoll, "Taler Wacht: Fenster lässt http: nicht durch"},
           {"kein schema", protokoll, "Taler Wacht: Fenster lässt ?: nicht durch"}}) {
    SCOPED_TRACE(f.adresse);
    Fensterwelt w;
    ProtokollMitschnitt protokoll;
    w.fenster.zeigen(*Url::aus("http://127.0.0.1:8858/"));
    w.fenster.tresorOffen = [] { return std::pair(true, std::optional<std::int64_t>{}); };
    w.web.schritte.clear();

    EXPECT_EQ(w.fenster.navigationErlauben(f.adresse), f.folge == erlaubt);
    EXPECT_EQ(w.neustarts, f.folge == neuStart);
    EXPECT_EQ(w.zeigt("Taler Wacht startet …"), f.folge == neuStart);
    EXPECT_EQ(w.zeigt("Die Seite ist nicht mehr erreichbar"), f.folge == unerreichbar);
    EXPECT_EQ(std::count(w.web.schritte.begin(), w.web.schritte.end(), "zu"), f.folge == zu);
    EXPECT_EQ(lesen(w.fenster.hinweisDatei()) == "gesehen", f.folge == zu);
    EXPECT_TRUE(w.dialoge.hinweise.empty());  // a page that closes the window shows no notice
    EXPECT_EQ(w.browser.adressen, f.folge == browser ? std::vector{f.adresse} : std::vector<std::string>{});
    EXPECT_EQ(protokoll.zeilen(), f.zeile.empty() ? std::vector<std::string>{} : std::vector{f.zeile});
  }
}

TEST(Fenster, SchliessHinweisHoechstensEinmal) {
  struct Fall {
    bool offen;
    std::optional<std::int64_t> restminuten;
    std::optional<std::string> marke;  // the marker file's content before closing
    int antwort;
    std::string zeit;  // the notice's time part; empty: no notice
  };
  for (const auto& f : std::vector<Fall>{{true, 25, {}, ersterKnopf, "noch 25 Minuten"},
                                         {true, 1, {}, ersterKnopf, "noch 1 Minuten"},
                                         {true, {}, "anders", ersterKnopf + 1, "bis Du ihn sperrst"},
                                         {true, 25, " gesehen\n", ersterKnopf + 1, ""},
                                         {false, {}, {}, ersterKnopf + 1, ""}}) {
    Fensterwelt w;
    w.fenster.tresorOffen = [&f] { return std::pair(f.offen, f.restminuten); };
    std::filesystem::create_directories(w.ordner / "konfig");
    if (f.marke) dateiSchreiben(w.fenster.hinweisDatei(), *f.marke);
    w.dialoge.antworten = {Wahl{f.antwort}};
    EXPECT_TRUE(w.fenster.sollSchliessen());
    EXPECT_TRUE(w.fenster.sollSchliessen());  // the second close is quiet
    EXPECT_EQ(w.gesperrt, !f.zeit.empty() && f.antwort == ersterKnopf + 1);
    EXPECT_EQ(lesen(w.fenster.hinweisDatei()) == "gesehen", f.offen);
    if (f.zeit.empty()) {
      EXPECT_TRUE(w.dialoge.hinweise.empty());
      continue;
    }
    EXPECT_EQ(rechte(w.fenster.hinweisDatei()), 0600u);
    EXPECT_EQ(
        w.dialoge.hinweise,
        (std::vector{Hinweis{
            .nachricht = "Nur das Fenster ist zu — der Tresor bleibt offen",
            .text = "Der Tresor bleibt " + f.zeit +
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
    EXPECT_TRUE(
        w.zeigt("~/.local/state/geld-bote-demo/start.log.</p>\n<a class=\"knopf\" "
                "href=\"http://127.0.0.1/neu-starten\">Noch einmal starten</a>"));
    w.fenster.warten();
    EXPECT_FALSE(w.fenster.langeGewartet);  // a new wait starts afresh

    w.fenster.zeigen(*Url::aus("http://127.0.0.1:8858/"));
    EXPECT_FALSE(w.fenster.wartetSeit);
    EXPECT_EQ(w.web.frist, 60s);
    EXPECT_EQ(w.web.schritte, (std::vector<std::string>{"aufbauen", "html", "vorne", "html", "vorne", "html",
                                                        "vorne", "seite http://127.0.0.1:8858/", "vorne"}));
    EXPECT_EQ(w.web.plan.benutzerAgent, "TalerWacht-Menue/1.7.2_demo");
    EXPECT_EQ(w.web.plan.rahmenName, "einrichtungsfenster");

    w.fenster.geladen();
    EXPECT_EQ(rohLesen(w.ordner / "menue.fenster.log", 100),
              seiteModus ? std::optional<std::string>("geladen http://127.0.0.1:8858/\n") : std::nullopt);

    w.fenster.ladenFehlgeschlagen("<b>Tom & Jerry</b> &lt;");
    EXPECT_TRUE(w.zeigt("<h2 style=\"font-weight: 600\">Die Seite antwortet nicht</h2>"));
    EXPECT_TRUE(w.zeigt("font-size: 13px\">&lt;b>Tom &amp; Jerry&lt;/b> &amp;lt;</p></body></html>"));
  }
}

}  // namespace
}  // namespace tw
