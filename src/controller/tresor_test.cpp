#include <algorithm>
#include <memory>

#include "helfer/roh_server.h"
#include "helfer/steuerungswelt.h"
#include "status/abrufen.h"
#include "test.h"

namespace tw {
namespace {

using Texte = std::vector<std::string>;

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

// A controller whose snapshot in vault state `tresor` lists one real loopback
// page per status, and which has seen the keyring holding `gemerkt`.
struct Tresorwelt {
  explicit Tresorwelt(const std::vector<int>& statuse, std::optional<std::string> gemerkt = {},
                      std::string tresor = "zu") {
    w.schluesselbund.login = gemerkt;
    w.dienste.sammeln = [this, sammler = w.dienste.sammeln] { return ++sammlungen, sammler(); };
    w.runde(mitSeiten(laufend(std::move(tresor)), statuse));
    sammlungen = 0;
    w.schleife.hintergrundDringlichkeiten.clear();
  }
  Zustand mitSeiten(Zustand z, const std::vector<int>& statuse) {
    for (int status : statuse) {
      if (status != still)
        seiten.push_back(std::make_unique<RohServer>(httpAntwort(status, "application/json", "{}")));
      z.seiten.push_back(*Url::aus(status == still
                                       ? "http://127.0.0.1:" + std::to_string(freierPort()) + "/t/"
                                       : seiten.back()->adresse("/t/k/")));
    }
    return z;
  }
  // Method, path and body of every request, page by page.
  Texte empfangen() const {
    Texte r;
    for (const auto& seite : seiten)
      for (const auto& a : seite->anfragen())
        r.push_back(a.substr(0, a.find(' ', 5)) + a.substr(a.find("\r\n\r\n") + 4));
    return r;
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
    Texte dialoge;
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
      {{200}, {}, false, "geheim", true, {erst}, {}, 1, "geheim", "merken", nichtGemerkt},
      {{403}, "alt", true, {}, false, {falsch}, "alt", 0, "alt", "loeschen", nochDa},
  };
  for (const Fall& f : faelle) {
    Tresorwelt t(f.seiten, f.gemerkt);
    auto& bund = t.w.schluesselbund;
    if (f.scheitert == "lesen") bund.suchenStatus[0] = errSecUserCanceled;
    if (f.scheitert == "merken") bund.hinzufuegenStatus = {{errSecUserCanceled, errSecUserCanceled}};
    if (f.scheitert == "loeschen") bund.loeschenStatus = errSecUserCanceled;
    t.w.besitzer.antworten = {f.besitzer};
    if (f.getippt) t.w.dialoge.eingaben.push_back({ersterKnopf, f.merken, *f.getippt});
    t.w.steuerung->ausfuehren(Aktion::tresorEntsperren);
    t.w.ablaufen();

    std::vector<Hinweis> dialoge(f.dialoge.size(), frage);
    for (size_t d = 0; d < dialoge.size(); ++d) dialoge[d].text = f.dialoge[d];
    EXPECT_EQ(t.w.dialoge.gefragt, dialoge);
    EXPECT_EQ(t.w.dialoge.hinweise.empty() ? Text() : t.w.dialoge.hinweise[0].nachricht, f.hinweis);
    EXPECT_EQ(std::tuple(bund.geschuetzt ? bund.geschuetzt : bund.login, t.sammlungen),
              std::tuple(f.gemerktDanach, f.sammlungen));
    // Written only after the server took a typed passphrase.
    EXPECT_EQ(std::count(bund.aufrufe.begin(), bund.aufrufe.end(), "hinzufuegen geschuetzt"),
              f.merken && f.sammlungen);
    // The owner is asked with the reason, and the read uses that confirmation.
    EXPECT_EQ(t.w.besitzer.gruende, f.gemerkt ? Texte{"den Tresor von Taler Wacht zu entsperren"} : Texte{});
    EXPECT_EQ(
        std::any_of(bund.kontexte.begin(), bund.kontexte.end(), [](auto& k) { return k && k->bestaetigt; }),
        f.gemerkt && f.besitzer);
    // Sent off the main loop, as the user's work.
    const Texte gesendet(f.gesendet ? t.seiten.size() : 0,
                         "POST /t/k/entsperrenpassphrase=" + formKodiert(f.gesendet.value_or("")));
    EXPECT_EQ(t.empfangen(), gesendet);
    if (f.gesendet) {
      EXPECT_EQ(t.w.schleife.hintergrundDringlichkeiten.at(0), Dringlichkeit::nutzer);
    }
    for (const auto& zeile : t.w.protokoll.zeilen())
      for (const auto& geheim : {f.getippt, f.gemerkt})
        if (geheim && geheim->size() > 2) {
          EXPECT_EQ(zeile.find(*geheim), std::string::npos) << zeile;
        }
  }
}

// The passphrase typed while a refresh came goes to the pages of that refresh only.
TEST(Tresor, GetipptAnDieSeitenDerLetztenRunde) {
  Tresorwelt t({200});
  t.w.dialoge.eingaben = {{ersterKnopf, false, "geheim"}};
  t.w.dialoge.waehrend = [&] { t.w.runde(t.mitSeiten(laufend("zu"), {200})); };
  t.w.steuerung->ausfuehren(Aktion::tresorEntsperren);
  t.w.ablaufen();
  EXPECT_EQ(t.empfangen(), Texte{"POST /t/k/entsperrenpassphrase=geheim"});
  EXPECT_EQ(t.seiten[1]->anfragen().size(), 1u);
}

// The menu's lock goes to every page, the quit's only when the vault was "offen"; a page that did not
// confirm the quit's lock is named, in the log and in a last alert, before the app ends.
TEST(Tresor, SperrenPerMenueUndBeimBeenden) {
  const std::string frage = "hinweis Taler Wacht beenden? | ";
  for (const auto& [aktion, tresor, bericht] :
       {std::tuple{Aktion::tresorSperren, "zu", std::string()},
        {Aktion::beendenKlick, "zu", "beendet 4242 | " + frage + "ende 1"},
        {Aktion::beendenKlick, "offen",
         "beendet 4242 | " + frage +
             "hinweis Der Tresor ließ sich nicht überall sperren | protokoll beim Beenden nicht gesperrt: 1 "
             "Seite(n) ohne Bestätigung | ende 1"}}) {
    Tresorwelt t({200, 500}, {}, tresor);
    const bool beenden = aktion == Aktion::beendenKlick, offen = tresor == std::string("offen");
    t.w.dialoge.antworten = {Wahl{ersterKnopf}};  // the quit's question: "Beenden"
    int endeBeimHinweis = -1;                     // the alert after it saw the app ended
    t.w.dialoge.waehrend = [&] { t.w.dialoge.waehrend = [&] { endeBeimHinweis = t.w.anwendung.anfragen; }; };
    t.w.steuerung->ausfuehren(aktion);
    t.w.schleife.hintergrundAbarbeiten();
    EXPECT_EQ(t.w.anwendung.anfragen, 0);  // only once back on the main loop
    t.w.ablaufen();
    EXPECT_EQ(t.w.bericht(), bericht);
    EXPECT_EQ(endeBeimHinweis, offen ? 0 : -1);
    EXPECT_EQ(t.empfangen(), Texte(!beenden || offen ? 2 : 0, "POST /t/k/sperren"));
    EXPECT_EQ(t.w.schleife.hintergrundDringlichkeiten.at(0),
              beenden ? Dringlichkeit::nutzer : Dringlichkeit::hilfsarbeit);
    EXPECT_EQ(t.sammlungen, beenden ? 0 : 1);
  }
}

TEST(Tresor, VergessenNimmtDieZeileSofortWeg) {
  Tresorwelt t({200}, "l");
  const auto zeile = [&] {
    const auto& z = t.w.anzeige.letzte().zeilen;
    return std::any_of(z.begin(), z.end(),
                       [](const auto& r) { return r.titel == "Gemerkte Passphrase vergessen"; });
  };
  EXPECT_TRUE(zeile());
  t.w.steuerung->ausfuehren(Aktion::passphraseVergessenKlick);
  t.w.ablaufen();
  EXPECT_FALSE(t.w.schluesselbund.gemerkt() || zeile());
}

}  // namespace
}  // namespace tw
