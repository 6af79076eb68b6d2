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
const std::string unlesbar = "Die gemerkte Passphrase ließ sich nicht lesen — bitte eingeben.";
const std::string nichtGemerkt = "Die Passphrase ließ sich nicht im Schlüsselbund merken.";
const std::string nochDa = "Die gemerkte Passphrase ist noch im Schlüsselbund";
constexpr int still = 0;  // a page on a refused port
const Hinweis frage{.nachricht = "Tresor entsperren",
                    .knoepfe = {"Entsperren", "Abbrechen"},
                    .tresorBild = true,
                    .kaestchen = "Im Schlüsselbund merken — künftig Fingerabdruck oder Anmeldepasswort"};

// A controller whose snapshot lists one real loopback page per status, and
// which has seen the keyring holding `gemerkt`.
struct Tresorwelt {
  explicit Tresorwelt(const std::vector<int>& statuse, std::optional<std::string> gemerkt = {}) {
    w.schluesselbund.login = gemerkt;
    w.dienste.sammeln = [this, sammler = w.dienste.sammeln] { return ++sammlungen, sammler(); };
    Zustand z = laufend("zu");
    for (int status : statuse) {
      if (status != still)
        seiten.push_back(std::make_unique<RohServer>(httpAntwort(status, "application/json", "{}")));
      z.seiten.push_back(*Url::aus(status == still
                                       ? "http://127.0.0.1:" + std::to_string(freierPort()) + "/t/"
                                       : seiten.back()->adresse("/t/k/")));
    }
    w.runde(z);
    sammlungen = 0;
    w.schleife.hintergrundDringlichkeiten.clear();
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
    Text gesendet;               // what every page received
    std::string scheitert = {};  // the keyring call that is refused: "lesen", "merken" or "loeschen"
    Text hinweis = {};           // the alert that says so
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
      {{200}, "\xff", true, {}, false, {unlesbar}, "\xff", 0, {}},
      // A keyring that refuses says so: the read falls back to typing, the store and the forget alert.
      {{200}, "alt", true, {}, false, {unlesbar}, "alt", 0, {}, "lesen"},
      {{200}, {}, false, "x", true, {erst}, {}, 1, "x", "merken", nichtGemerkt},
      {{403}, "alt", true, {}, false, {falsch}, "alt", 0, "alt", "loeschen", nochDa},
  };
  for (size_t i = 0; i < faelle.size(); ++i) {
    SCOPED_TRACE(i);
    const Fall& f = faelle[i];
    Tresorwelt t(f.seiten, f.gemerkt);
    auto& bund = t.w.schluesselbund;
    if (f.scheitert == "lesen") bund.suchenStatus[0] = errSecUserCanceled;
    if (f.scheitert == "merken") bund.hinzufuegenStatus = {{errSecUserCanceled, errSecUserCanceled}};
    if (f.scheitert == "loeschen") bund.loeschenStatus = errSecUserCanceled;
    t.w.besitzer.antworten = {f.besitzer};
    if (f.getippt) t.w.dialoge.eingaben.push_back({ersterKnopf, f.merken, *f.getippt});
    t.w.steuerung->tresorEntsperren();
    t.w.ablaufen();

    std::vector<Hinweis> dialoge(f.dialoge.size(), frage);
    for (size_t d = 0; d < dialoge.size(); ++d) dialoge[d].text = f.dialoge[d];
    EXPECT_EQ(t.w.dialoge.gefragt, dialoge);
    EXPECT_EQ(t.w.dialoge.hinweise.empty() ? Text() : t.w.dialoge.hinweise.at(0).nachricht, f.hinweis);
    EXPECT_EQ(bund.geschuetzt ? bund.geschuetzt : bund.login, f.gemerktDanach);
    EXPECT_EQ(t.sammlungen, f.sammlungen);
    // Written only after the server took a typed passphrase.
    EXPECT_EQ(std::count(bund.aufrufe.begin(), bund.aufrufe.end(), "hinzufuegen geschuetzt"),
              f.merken && f.sammlungen);
    // The owner is asked with the reason, and the read uses that confirmation.
    EXPECT_EQ(t.w.besitzer.gruende, f.gemerkt
                                        ? std::vector<std::string>{"den Tresor von Taler Wacht zu entsperren"}
                                        : std::vector<std::string>{});
    EXPECT_EQ(
        std::any_of(bund.kontexte.begin(), bund.kontexte.end(), [](auto& k) { return k && k->bestaetigt; }),
        f.gemerkt && f.besitzer);
    // Sent off the main loop, as the user's work.
    if (f.gesendet) {
      EXPECT_EQ(t.w.schleife.hintergrundDringlichkeiten.at(0), Dringlichkeit::nutzer);
    }
    for (const auto& seite : t.seiten) {
      const auto anfragen = seite->anfragen();
      ASSERT_EQ(anfragen.size(), f.gesendet ? 1u : 0u);
      if (!f.gesendet) continue;
      EXPECT_TRUE(anfragen[0].starts_with("POST /t/k/entsperren "));
      EXPECT_TRUE(anfragen[0].ends_with("\r\n\r\npassphrase=" + formKodiert(*f.gesendet)));
    }
  }
}

TEST(Tresor, SperrenUndVergessen) {
  Tresorwelt t({200, 500});
  t.w.schluesselbund.geschuetzt = "g";
  t.w.schluesselbund.login = "l";
  t.w.steuerung->tresorSperren();
  t.w.ablaufen();
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
  t.w.ablaufen();
  EXPECT_FALSE(t.w.schluesselbund.gemerkt());
  EXPECT_FALSE(vergessenZeile());
}

}  // namespace
}  // namespace tw
