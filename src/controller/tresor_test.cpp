#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "helfer/roh_server.h"
#include "helfer/steuerungswelt.h"
#include "status/abrufen.h"

namespace tw {
namespace {

const std::string erst = "Die Passphrase geht nur an das Programm auf diesem Rechner.";
const std::string falsch = "Die Passphrase war nicht richtig. Noch einmal?";
const std::string stumm = "Das Programm auf diesem Rechner hat nicht geantwortet. Noch einmal?";
constexpr int keineAntwort = 0;

// A controller whose snapshot lists one page per status (0: a refused port),
// each page a real loopback server.
struct Tresorwelt {
  explicit Tresorwelt(const std::vector<int>& statuse) {
    auto sammler = w.dienste.sammeln;
    w.dienste.sammeln = [this, sammler] {
      ++sammlungen;
      return sammler();
    };
    Zustand z = laufend("zu");
    for (int status : statuse) {
      if (status == keineAntwort) {
        z.seiten.push_back(*Url::aus("http://127.0.0.1:" + std::to_string(freierPort()) + "/t/"));
        continue;
      }
      seiten.push_back(std::make_unique<RohServer>(httpAntwort(status, "application/json", "{}")));
      z.seiten.push_back(*Url::aus(seiten.back()->adresse("/t/k/")));
    }
    w.starten();
    w.runde(z);
    sammlungen = 0;
  }
  // Lets every posted task and background job run until nothing is left.
  void ablaufen() {
    for (int i = 0; i < 5; ++i) {
      w.schleife.vorruecken(std::chrono::milliseconds(0));
      w.schleife.hintergrundAbarbeiten();
    }
  }
  std::vector<std::string> texte() const {
    std::vector<std::string> t;
    for (const auto& h : w.dialoge.gefragt) t.push_back(h.text);
    return t;
  }

  Steuerungswelt w;
  std::vector<std::unique_ptr<RohServer>> seiten;
  int sammlungen = 0;
};

TEST(Tresor, EntsperrenInAllenFaellen) {
  struct Fall {
    const char* name;
    std::vector<int> seiten;
    std::optional<std::string> gemerkt;
    bool besitzer;
    std::vector<std::tuple<int, bool, std::string>> eingaben;
    std::vector<std::string> dialoge;
    std::optional<std::string> gemerktDanach;
    int sammlungen;
  };
  const int ok = ersterKnopf;
  const std::vector<Fall> faelle = {
      {"nichts gemerkt, Abbrechen", {200}, {}, false, {}, {erst}, {}, 0},
      {"leeres Feld sendet nichts", {200}, {}, false, {{ok, true, ""}}, {erst}, {}, 0},
      {"getippt und gemerkt", {200}, {}, false, {{ok, true, "geheim ä"}}, {erst}, "geheim ä", 1},
      {"getippt ohne Merken", {200}, {}, false, {{ok, false, "geheim ä"}}, {erst}, {}, 1},
      {"falsch, nichts gemerkt", {403}, {}, false, {{ok, true, "geheim ä"}}, {erst, falsch}, {}, 0},
      {"eine von zwei nimmt an", {200, 403}, {}, false, {{ok, false, "x"}}, {erst}, {}, 1},
      {"Besitzer lehnt ab", {200}, "alt", false, {}, {}, "alt", 0},
      {"gemerkt und angenommen", {200}, "geheim ä", true, {}, {}, "geheim ä", 1},
      {"gemerkt und abgelehnt", {403}, "alt", true, {}, {falsch}, {}, 0},
      {"gemerkt, keine Seite antwortet", {keineAntwort}, "alt", true, {}, {stumm}, "alt", 0},
      {"gemerkt, keine Seiten", {}, "alt", true, {}, {stumm}, "alt", 0},
      {"gemerkt, nicht lesbar", {200}, "\xff", true, {}, {}, "\xff", 0},
      {"eine antwortet nicht, eine lehnt ab",
       {keineAntwort, 403},
       {},
       false,
       {{ok, true, "x"}},
       {erst, falsch},
       {},
       0},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    Tresorwelt t(f.seiten);
    t.w.schluesselbund.login = f.gemerkt;
    t.w.besitzer.antworten = {f.besitzer};
    for (const auto& e : f.eingaben) t.w.dialoge.eingaben.push_back(e);
    t.w.steuerung->tresorEntsperren();
    t.ablaufen();

    EXPECT_EQ(t.texte(), f.dialoge);
    const auto& bund = t.w.schluesselbund;
    EXPECT_EQ(bund.geschuetzt ? bund.geschuetzt : bund.login, f.gemerktDanach);
    EXPECT_EQ(t.sammlungen, f.sammlungen);
    // Written only after the server took a typed passphrase, never on the remembered path.
    const bool geschrieben = std::count(bund.aufrufe.begin(), bund.aufrufe.end(), "hinzufuegen geschuetzt");
    EXPECT_EQ(geschrieben, f.gemerktDanach && !f.gemerkt);
    EXPECT_EQ(t.w.besitzer.gruende.size(), f.gemerkt ? 1u : 0u);
    // Whatever was sent went to every page, once per attempt.
    const bool gesendet = (f.gemerkt && f.besitzer && f.gemerkt != "\xff") ||
                          (!f.eingaben.empty() && !std::get<2>(f.eingaben[0]).empty());
    for (const auto& seite : t.seiten) {
      const auto anfragen = seite->anfragen();
      ASSERT_EQ(anfragen.size(), gesendet ? 1u : 0u);
      if (!gesendet) continue;
      EXPECT_EQ(anfragen[0].rfind("POST /t/k/entsperren ", 0), 0u);
      const std::string wert = f.gemerkt ? *f.gemerkt : std::get<2>(f.eingaben[0]);
      const std::string koerper = "passphrase=" + formKodiert(wert);
      EXPECT_EQ(anfragen[0].substr(anfragen[0].size() - koerper.size()), koerper);
    }
  }
}

TEST(Tresor, DialogUndBestaetigungSagenWasSieSollen) {
  Tresorwelt t({200});
  t.w.steuerung->tresorEntsperren();
  ASSERT_EQ(t.w.dialoge.gefragt.size(), 1u);
  const Hinweis& h = t.w.dialoge.gefragt[0];
  EXPECT_EQ(h.nachricht, "Tresor entsperren");
  EXPECT_EQ(h.knoepfe, (std::vector<std::string>{"Entsperren", "Abbrechen"}));
  EXPECT_EQ(h.kaestchen, "Im Schlüsselbund merken — künftig Fingerabdruck oder Anmeldepasswort");
  EXPECT_TRUE(h.tresorBild);

  // The owner is asked with the reason; the read happens within that confirmation, off the main loop.
  t.w.schluesselbund.login = "geheim ä";
  t.w.besitzer.antworten = {true};
  t.w.schleife.hintergrundDringlichkeiten.clear();
  t.w.steuerung->tresorEntsperren();
  EXPECT_TRUE(t.w.schleife.hintergrundDringlichkeiten.empty());  // nothing before the answer
  t.ablaufen();
  EXPECT_EQ(t.w.besitzer.gruende, std::vector<std::string>{"den Tresor von Taler Wacht zu entsperren"});
  const auto& aufrufe = t.w.schluesselbund.aufrufe;
  const auto lesen = std::find(aufrufe.begin(), aufrufe.end(), "lesen login") - aufrufe.begin();
  ASSERT_LT(lesen, std::ssize(aufrufe));
  const auto& kontext = t.w.schluesselbund.kontexte[lesen];
  EXPECT_TRUE(kontext && kontext->bestaetigt);
  EXPECT_EQ(t.w.schleife.hintergrundDringlichkeiten.front(), Dringlichkeit::nutzer);
}

TEST(Tresor, SperrenFragtJedeSeiteUndAktualisiertEinmal) {
  Tresorwelt t({200, 500});
  t.w.schleife.hintergrundDringlichkeiten.clear();
  t.w.steuerung->tresorSperren();
  t.ablaufen();
  for (const auto& seite : t.seiten) {
    ASSERT_EQ(seite->anfragen().size(), 1u);
    EXPECT_EQ(seite->anfragen()[0].rfind("POST /t/k/sperren ", 0), 0u);
  }
  EXPECT_EQ(t.w.schleife.hintergrundDringlichkeiten.front(), Dringlichkeit::hilfsarbeit);
  EXPECT_EQ(t.sammlungen, 1);
  EXPECT_TRUE(t.w.dialoge.gefragt.empty());
}

TEST(Tresor, VergessenLoeschtUndZeichnetNeu) {
  Tresorwelt t({});
  t.w.schluesselbund.geschuetzt = "g";
  t.w.schluesselbund.login = "l";
  t.w.steuerung->zeichnen();
  auto zeile = [&] {
    for (const auto& z : t.w.anzeige.letzte().zeilen)
      if (z.titel == "Gemerkte Passphrase vergessen") return true;
    return false;
  };
  EXPECT_TRUE(zeile());
  t.w.steuerung->passphraseVergessenKlick();
  EXPECT_FALSE(t.w.schluesselbund.gemerkt());
  EXPECT_FALSE(zeile());
}

}  // namespace
}  // namespace tw
