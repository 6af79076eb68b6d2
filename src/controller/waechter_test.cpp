#include <algorithm>

#include "app/dateien.h"
#include "helfer/steuerungswelt.h"
#include "test.h"

namespace tw {
namespace {

using Texte = std::vector<std::string>;

const Url eigene = *Url::aus("http://127.0.0.1:8858/");

Zustand mitSeiten(Zustand z) {
  z.seiten = {*Url::aus("http://127.0.0.1:8870/"), eigene};
  z.eigeneSeiten = {eigene};
  return z;
}

Texte geladen(const WebfensterMitschnitt& web) {
  Texte s;
  std::copy_if(web.schritte.begin(), web.schritte.end(), std::back_inserter(s),
               [](const std::string& x) { return x != "vorne" && x != "aufbauen"; });
  return s;
}

TEST(Waechter, ErststartWartetUndZeigtDannDieSeite) {
  for (const auto& [imBuendel, argument, tresorDa, seiten, startet, wartet] :
       {std::tuple{true, "", false, false, true, true},
        {true, "", true, false, true, false},
        {true, "", false, true, true, false},
        {false, "", false, false, false, false}}) {
    Steuerungswelt w;
    w.dienste.imBuendel = imBuendel;
    w.dienste.argumente = {argument};
    w.fund = buendel;
    if (tresorDa) dateiSchreiben(w.dienste.konfigOrdner / "zugaenge.enc", "x");
    w.runde(seiten ? mitSeiten(Zustand{}) : Zustand{});
    EXPECT_EQ(w.skripte.size(), startet ? 1u : 0u);
    EXPECT_EQ(geladen(w.web), wartet ? Texte{"html"} : Texte{});
    if (!wartet) continue;

    // Ten silent rounds are 30 s: not yet more than 30.
    for (int i = 0; i < 10; ++i) w.runde(Zustand{});
    EXPECT_EQ(geladen(w.web).size(), 1u);
    for (int i = 0; i < 3; ++i) w.runde(Zustand{});
    EXPECT_EQ(geladen(w.web).size(), 2u);  // the long wait, once
    EXPECT_NE(w.web.html.find("Das dauert länger als üblich"), std::string::npos);
    w.runde(mitSeiten(Zustand{}));
    w.runde(mitSeiten(Zustand{}));
    EXPECT_EQ(geladen(w.web), (Texte{"html", "html", "seite http://127.0.0.1:8858/"}));
    EXPECT_EQ(w.skripte.size(), 1u);  // the first round only
  }
}

TEST(Waechter, ChatbotSeiteEinmalJeAdresse) {
  Steuerungswelt w;
  Zustand z = laufend("offen");
  z.adresse = "https://a.example";
  w.runde(z);  // no own page yet: nothing shown, nothing recorded
  const auto gezeigt = w.dienste.zustandOrdner / "menue.adresse.gezeigt";
  EXPECT_FALSE(lesen(gezeigt));
  w.runde(mitSeiten(z));
  w.runde(mitSeiten(z));
  EXPECT_EQ(geladen(w.web), Texte{"seite http://127.0.0.1:8858/chatbots#chatgpt"});
  EXPECT_EQ(lesen(gezeigt), "https://a.example");

  z.adresse = "https://b.example";
  w.runde(mitSeiten(z));
  EXPECT_EQ(geladen(w.web).size(), 2u);
  w.steuerung->ausfuehren(Aktion::adresseKopieren);
  z.adresse = "https://a.example";
  dateiSchreiben(gezeigt, "https://a.example\n");
  w.runde(mitSeiten(z));
  EXPECT_EQ(geladen(w.web).size(), 2u);  // shown before, also across restarts
}

TEST(Waechter, SeiteHinterDemSchliesshinweisGehtNichtVerloren) {
  Steuerungswelt w;
  Zustand z = mitSeiten(laufend("offen"));
  w.runde(z);
  w.steuerung->ausfuehren(Aktion::seiteOeffnen);
  z.adresse = "https://a.example";
  const auto gezeigt = w.dienste.zustandOrdner / "menue.adresse.gezeigt";
  // The new address comes while the notice is open; it shows, and counts as shown, after the answer.
  w.dialoge.waehrend = [&] {
    w.runde(z);
    EXPECT_FALSE(lesen(gezeigt));
  };
  w.dialoge.antworten = {Wahl{ersterKnopf}};
  w.web.schliessen();
  EXPECT_EQ(geladen(w.web), (Texte{"seite http://127.0.0.1:8858/",
                                   "seite http://127.0.0.1:8858/chatbots#chatgpt", "bleibt"}));
  EXPECT_EQ(lesen(gezeigt), "https://a.example");
}

TEST(Waechter, HandzeichenWirdEinmalGelesen) {
  const std::string fremd = "protokoll Handzeichen mit fremder Adresse übergangen",
                    unlesbar = "protokoll seite.oeffnen nicht lesbar — gelöscht";
  // The file's content, with pages or not, the page shown ("": none), and the log line.
  for (const auto& [inhalt, seiten, gezeigt, zeile] :
       {std::tuple{" http://127.0.0.1:8870/bank#neu \n", true, "http://127.0.0.1:8870/bank#neu", ""},
        {"https://talerwacht.de/", true, "http://127.0.0.1:8858/", fremd.c_str()},
        {"http://127.0.0.1:9/", true, "http://127.0.0.1:8858/", fremd.c_str()},
        {"", true, "http://127.0.0.1:8858/", ""},
        {"https://talerwacht.de/", false, "", fremd.c_str()},
        {"http://127.0.0.1:8870/\xff", true, "", unlesbar.c_str()}}) {
    Steuerungswelt w;
    const Zustand z = seiten ? mitSeiten(laufend("zu")) : laufend("zu");
    w.runde(z);
    const auto datei = w.dienste.zustandOrdner / "seite.oeffnen";
    dateiSchreiben(datei, inhalt);
    w.runde(z);
    w.runde(z);
    EXPECT_FALSE(std::filesystem::exists(datei));
    EXPECT_EQ(geladen(w.web), *gezeigt ? Texte{std::string("seite ") + gezeigt} : Texte{}) << inhalt;
    EXPECT_EQ(w.bericht(), zeile);
  }
}

TEST(Waechter, NackteKopieEndetNachEinerMinuteOhneArbeit) {
  for (const bool imBuendel : {false, true}) {
    Steuerungswelt w, entfernt;
    w.dienste.imBuendel = entfernt.dienste.imBuendel = imBuendel;
    w.dienste.ausfuehrbarerPfad = w.ordner / "TalerWacht";
    entfernt.dienste.ausfuehrbarerPfad = entfernt.ordner / "weg";
    dateiSchreiben(*w.dienste.ausfuehrbarerPfad, "");
    for (int i = 0; i < 20; ++i) w.runde(Zustand{});  // idle from the first
    w.runde(laufend("zu"));                           // 60 s later: something active clears the timer
    for (int i = 0; i < 21; ++i) w.runde(Zustand{});
    EXPECT_EQ(w.anwendung.anfragen, 0);  // exactly 60 s idle is not more than 60
    w.runde(Zustand{});
    EXPECT_EQ(w.anwendung.anfragen, imBuendel ? 0 : 1);
    entfernt.runde(laufend("zu"));
    EXPECT_EQ(entfernt.anwendung.anfragen, imBuendel ? 0 : 1);
  }
}

TEST(Waechter, EinstellungenUndSeiteBeimStart) {
  for (const bool seiten : {false, true}) {
    Steuerungswelt w;
    w.dienste.argumente = {"--seite"};
    const Zustand z = seiten ? mitSeiten(laufend("offen")) : laufend("offen");
    w.runde(z);
    EXPECT_EQ(w.steuerung->fenster().erlaubteSeiten, z.seiten);
    EXPECT_TRUE(geladen(w.web).empty());
    w.schleife.vorruecken(2000ms);
    const Texte seite = seiten ? Texte{"seite http://127.0.0.1:8858/"} : Texte{};
    EXPECT_EQ(geladen(w.web), seite);
    w.web.schritte.clear();
    w.steuerung->ausfuehren(Aktion::seiteOeffnen);
    EXPECT_EQ(geladen(w.web), seite);
    if (!seiten) continue;

    // The window asks the controller: vault state, restart and lock.
    EXPECT_EQ(w.steuerung->fenster().tresorOffen(), std::pair(true, std::optional<std::int64_t>{}));
    w.steuerung->fenster().navigationErlauben("http://127.0.0.1/neu-starten");
    EXPECT_EQ(w.beendet, std::vector<pid_t>{4242});  // the restart stops the program first
    w.dialoge.antworten = {Wahl{ersterKnopf + 1}};
    w.schleife.hintergrundDringlichkeiten.clear();
    EXPECT_TRUE(w.steuerung->fenster().sollSchliessen());
    EXPECT_EQ(w.dialoge.hinweise.size(), 1u);
    EXPECT_FALSE(w.schleife.hintergrundDringlichkeiten.empty());  // the lock went out
  }
}

}  // namespace
}  // namespace tw
