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
constexpr int still = 0;  // a page on a refused port

// A controller whose snapshot lists one real loopback page per status.
struct Tresorwelt {
  explicit Tresorwelt(const std::vector<int>& statuse) {
    w.dienste.sammeln = [this, sammler = w.dienste.sammeln] { return ++sammlungen, sammler(); };
    Zustand z = laufend("zu");
    for (int status : statuse) {
      if (status == still) {
        z.seiten.push_back(*Url::aus("http://127.0.0.1:" + std::to_string(freierPort()) + "/t/"));
        continue;
      }
      seiten.push_back(std::make_unique<RohServer>(httpAntwort(status, "application/json", "{}")));
      z.seiten.push_back(*Url::aus(seiten.back()->adresse("/t/k/")));
    }
    w.runde(z);
    sammlungen = 0;
  }
  // Runs posted tasks and background jobs until nothing is left.
  void ablaufen() {
    for (int i = 0; i < 5; ++i) {
      w.schleife.vorruecken(std::chrono::milliseconds(0));
      w.schleife.hintergrundAbarbeiten();
    }
  }
  Steuerungswelt w;
  std::vector<std::unique_ptr<RohServer>> seiten;
  int sammlungen = 0;
};

TEST(Tresor, EntsperrenInAllenFaellen) {
  using Text = std::optional<std::string>;
  struct Fall {
    std::vector<int> seiten;
    Text gemerkt;
    bool besitzer;
    Text getippt;  // typed and "Entsperren"; nothing: "Abbrechen"
    bool merken;
    std::vector<std::string> dialoge;
    Text gemerktDanach;
    int sammlungen;
    Text gesendet;  // what every page received
  };
  const std::vector<Fall> faelle = {
      {{200}, {}, false, {}, false, {erst}, {}, 0, {}},
      {{200}, {}, false, "", true, {erst}, {}, 0, {}},
      {{200}, {}, false, "geheim ä", true, {erst}, "geheim ä", 1, "geheim ä"},
      {{200}, {}, false, "x", false, {erst}, {}, 1, "x"},
      {{403}, {}, false, "x", true, {erst, falsch}, {}, 0, "x"},
      {{200, 403}, {}, false, "x", false, {erst}, {}, 1, "x"},  // all pages, also after one took it
      {{still, 403}, {}, false, "x", true, {erst, falsch}, {}, 0, "x"},
      {{200}, "alt", false, {}, false, {}, "alt", 0, {}},
      {{200}, "alt", true, {}, false, {}, "alt", 1, "alt"},
      {{403}, "alt", true, {}, false, {falsch}, {}, 0, "alt"},
      {{still}, "alt", true, {}, false, {stumm}, "alt", 0, {}},  // silence proves nothing
      {{}, "alt", true, {}, false, {stumm}, "alt", 0, {}},
      {{200}, "\xff", true, {}, false, {}, "\xff", 0, {}},
  };
  for (size_t i = 0; i < faelle.size(); ++i) {
    SCOPED_TRACE(i);
    const Fall& f = faelle[i];
    Tresorwelt t(f.seiten);
    auto& bund = t.w.schluesselbund;
    bund.login = f.gemerkt;
    t.w.besitzer.antworten = {f.besitzer};
    if (f.getippt) t.w.dialoge.eingaben.push_back({ersterKnopf, f.merken, *f.getippt});
    t.w.steuerung->tresorEntsperren();
    t.ablaufen();

    std::vector<std::string> texte;
    for (const auto& h : t.w.dialoge.gefragt) texte.push_back(h.text);
    EXPECT_EQ(texte, f.dialoge);
    EXPECT_EQ(bund.geschuetzt ? bund.geschuetzt : bund.login, f.gemerktDanach);
    EXPECT_EQ(t.sammlungen, f.sammlungen);
    // Written only after the server took a typed passphrase.
    EXPECT_EQ(std::count(bund.aufrufe.begin(), bund.aufrufe.end(), "hinzufuegen geschuetzt"),
              f.gemerktDanach && !f.gemerkt);
    EXPECT_EQ(t.w.besitzer.gruende.size(), f.gemerkt ? 1u : 0u);
    for (const auto& seite : t.seiten) {
      const auto anfragen = seite->anfragen();
      ASSERT_EQ(anfragen.size(), f.gesendet ? 1u : 0u);
      if (!f.gesendet) continue;
      EXPECT_TRUE(anfragen[0].starts_with("POST /t/k/entsperren "));
      EXPECT_TRUE(anfragen[0].ends_with("\r\n\r\npassphrase=" + formKodiert(*f.gesendet)));
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

  // The owner is asked with the reason; the read uses that confirmation, off the main loop.
  t.w.schluesselbund.login = "geheim";
  t.w.besitzer.antworten = {true};
  t.w.schleife.hintergrundDringlichkeiten.clear();
  t.w.steuerung->tresorEntsperren();
  EXPECT_TRUE(t.w.schleife.hintergrundDringlichkeiten.empty());  // nothing before the answer
  t.ablaufen();
  EXPECT_EQ(t.w.besitzer.gruende, std::vector<std::string>{"den Tresor von Taler Wacht zu entsperren"});
  const auto& k = t.w.schluesselbund.kontexte;
  EXPECT_TRUE(std::any_of(k.begin(), k.end(), [](const auto& x) { return x && x->bestaetigt; }));
  EXPECT_EQ(t.w.schleife.hintergrundDringlichkeiten.front(), Dringlichkeit::nutzer);
}

TEST(Tresor, SperrenUndVergessen) {
  Tresorwelt t({200, 500});
  t.w.schluesselbund.geschuetzt = "g";
  t.w.schluesselbund.login = "l";
  t.w.schleife.hintergrundDringlichkeiten.clear();
  t.w.steuerung->tresorSperren();
  t.ablaufen();
  for (const auto& seite : t.seiten) {
    ASSERT_EQ(seite->anfragen().size(), 1u);
    EXPECT_TRUE(seite->anfragen()[0].starts_with("POST /t/k/sperren "));
  }
  EXPECT_EQ(t.w.schleife.hintergrundDringlichkeiten.front(), Dringlichkeit::hilfsarbeit);
  EXPECT_EQ(t.sammlungen, 1);

  auto vergessenZeile = [&] {
    const auto& z = t.w.anzeige.letzte().zeilen;
    return std::any_of(z.begin(), z.end(),
                       [](const auto& r) { return r.titel == "Gemerkte Passphrase vergessen"; });
  };
  EXPECT_TRUE(vergessenZeile());
  t.w.steuerung->passphraseVergessenKlick();
  EXPECT_FALSE(t.w.schluesselbund.gemerkt());
  EXPECT_FALSE(vergessenZeile());
}

}  // namespace
}  // namespace tw
