#include "vault/passphrase.h"

#include <gtest/gtest.h>

#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"

namespace tw {
namespace {

constexpr int login = 0, geschuetzt = 1, anderer = -50;

TEST(Passphrase, GemerktUndLesenSuchenErstGeschuetztDannLogin) {
  struct Fall {
    const char* name;
    std::optional<int> geschuetztStatus;  // forced status of the protected look-up
    std::optional<std::string> gItem, lItem;
    bool gemerkt;
    std::optional<std::string> gelesen;
  };
  const Fall faelle[] = {
      {"nichts", {}, {}, {}, false, {}},
      {"nur geschuetzt", {}, "g", {}, true, "g"},
      {"geschuetzt braucht den Besitzer", errSecInteractionNotAllowed, {}, {}, true, {}},
      {"nur login", {}, {}, "l", true, "l"},
      {"beide: geschuetzt zuerst", {}, "g", "l", true, "g"},
      {"geschuetzt gestoert", anderer, {}, "l", true, "l"},
      {"kein UTF-8 faellt nicht zurueck", {}, "\xff\xfe", "l", true, {}},
      {"login ohne UTF-8", {}, {}, "a\xc3", true, {}},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    SchluesselbundAttrappe bund;
    bund.suchenStatus[geschuetzt] = f.geschuetztStatus;
    bund.geschuetzt = f.gItem;
    bund.login = f.lItem;
    EXPECT_EQ(passphraseGemerkt(bund), f.gemerkt);
    // The existence check never asks for data and never lets a dialog appear.
    ASSERT_TRUE(bund.kontexte.at(0).has_value());
    EXPECT_TRUE(bund.kontexte[0]->interaktionVerboten);
    for (const auto& a : bund.aufrufe) EXPECT_EQ(a.rfind("suchen", 0), 0u) << a;

    const Besitzerkontext kontext{.bestaetigt = true};
    auto gelesen = passphraseLesen(bund, &kontext);
    ASSERT_EQ(gelesen.has_value(), f.gelesen.has_value());
    if (gelesen) EXPECT_EQ(gelesen->text(), *f.gelesen);
  }
}

TEST(Passphrase, LesenGibtDenKontextBeidenOrten) {
  SchluesselbundAttrappe bund;
  bund.login = "l";
  const Besitzerkontext kontext{.bestaetigt = true};
  EXPECT_EQ(passphraseLesen(bund, &kontext)->text(), "l");
  EXPECT_EQ(bund.aufrufe, (std::vector<std::string>{"lesen geschuetzt", "lesen login"}));
  for (const auto& k : bund.kontexte) EXPECT_TRUE(k && k->bestaetigt);
}

TEST(Passphrase, MerkenBevorzugtDenGeschuetztenOrtUndFaelltZurueck) {
  struct Fall {
    const char* name;
    bool regel = true;
    std::optional<std::string> regelFehler;
    std::optional<int> geschuetztAdd, loginAdd;
    std::optional<std::string> gVorher, lVorher;
    std::optional<std::string> gNachher, lNachher;
    std::vector<std::string> zeilen;
  };
  const std::string rueck = ") — Rückfall auf den Login-Schlüsselbund";
  const std::vector<Fall> faelle = {
      {"geschuetzt gelingt und raeumt login", true, {}, {}, {}, "alt", "alt", "neu", {}, {}},
      {"ohne Entitlement",
       true,
       {},
       -34018,
       {},
       "alt",
       {},
       {},
       "neu",
       {"Taler Wacht: geschützter Schlüsselbund nicht möglich (-34018, Entitlement fehlt" + rueck}},
      {"zweimal: Dublette wird aktualisiert", true, {}, -34018, {}, {}, "alt", {}, "neu", {"*"}},
      {"anderer Status",
       true,
       {},
       -7,
       {},
       {},
       {},
       {},
       "neu",
       {"Taler Wacht: geschützter Schlüsselbund nicht möglich (-7" + rueck}},
      {"keine Regel, alter geschuetzter bleibt",
       false,
       "kaputt",
       {},
       {},
       "alt",
       {},
       "alt",
       "neu",
       {"Taler Wacht: keine Zugriffsregel für den Schlüsselbund (kaputt" + rueck}},
      {"keine Regel ohne Beschreibung",
       false,
       {},
       {},
       {},
       {},
       {},
       {},
       "neu",
       {"Taler Wacht: keine Zugriffsregel für den Schlüsselbund (?" + rueck}},
      {"login scheitert",
       true,
       {},
       -34018,
       -9,
       {},
       {},
       {},
       {},
       {"*", "Taler Wacht: Passphrase ließ sich nicht merken (-9)"}},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    ProtokollMitschnitt protokoll;
    SchluesselbundAttrappe bund;
    bund.regel = f.regel;
    bund.regelFehler = f.regelFehler;
    bund.hinzufuegenStatus[geschuetzt] = f.geschuetztAdd;
    bund.hinzufuegenStatus[login] = f.loginAdd;
    bund.geschuetzt = f.gVorher;
    bund.login = f.lVorher;
    passphraseMerken(bund, Geheimnis("neu"));
    EXPECT_EQ(bund.geschuetzt, f.gNachher);
    EXPECT_EQ(bund.login, f.lNachher);
    const auto zeilen = protokoll.zeilen();
    ASSERT_EQ(zeilen.size(), f.zeilen.size());
    for (size_t i = 0; i < zeilen.size(); ++i)
      if (f.zeilen[i] != "*") EXPECT_EQ(zeilen[i], f.zeilen[i]);
    if (!f.lVorher && (bund.geschuetzt || bund.login)) EXPECT_EQ(bund.bezeichnung, "Taler Wacht — Tresor");
  }
}

TEST(Passphrase, VergessenLoeschtBeideOrteInDieserFolge) {
  ProtokollMitschnitt protokoll;
  SchluesselbundAttrappe bund;
  passphraseVergessen(bund);  // nothing there: nothing reported
  bund.geschuetzt = "g";
  bund.login = "l";
  passphraseVergessen(bund);
  EXPECT_FALSE(bund.gemerkt());
  EXPECT_EQ(bund.aufrufe, (std::vector<std::string>{"loeschen geschuetzt", "loeschen login",
                                                    "loeschen geschuetzt", "loeschen login"}));
  EXPECT_TRUE(protokoll.zeilen().empty());
  EXPECT_EQ(schluesselbundAbfrage(true),
            (Schluesselbundabfrage{"de.talerwacht.geld-bote.demo", "tresor-passphrase", true}));
}

TEST(Geheimnis, WaechstOhneVerlustUndKodiertFormulare) {
  Geheimnis g("a");
  for (int i = 0; i < 100; ++i) g.anhaengen('b');
  EXPECT_EQ(g.size(), 101u);
  EXPECT_EQ(std::string_view(g.c_str()).size(), 101u);
  Geheimnis verschoben = std::move(g);
  EXPECT_TRUE(g.empty());
  EXPECT_EQ(verschoben.text().substr(0, 2), "ab");
  Geheimnis formular;
  formKodiertAnhaengen(formular, "ä &=+%~x");
  EXPECT_EQ(formular, "%C3%A4%20%26%3D%2B%25~x");
}

}  // namespace
}  // namespace tw
