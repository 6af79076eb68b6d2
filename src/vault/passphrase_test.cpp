#include "vault/passphrase.h"

#include <gtest/gtest.h>

#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"

namespace tw {
namespace {

using Text = std::optional<std::string>;
constexpr int geschuetzt = 1;

TEST(Passphrase, GemerktUndLesenSuchenErstGeschuetztDannLogin) {
  struct Fall {
    std::optional<int> gStatus;  // forced status of every protected look-up
    Text gItem, lItem;
    bool gemerkt;
    Text gelesen;
  };
  const Fall faelle[] = {
      {{}, {}, {}, false, {}},
      {{}, "g", "l", true, "g"},
      {errSecInteractionNotAllowed, {}, {}, true, {}},  // there, but behind the owner
      {-50, {}, "l", true, "l"},
      {{}, "\xff\xfe", "l", true, {}},  // undecodable bytes do not fall back
      {{}, {}, "a\xc3", true, {}},
  };
  for (const auto& f : faelle) {
    SchluesselbundAttrappe bund;
    bund.suchenStatus[geschuetzt] = f.gStatus;
    bund.geschuetzt = f.gItem;
    bund.login = f.lItem;
    EXPECT_EQ(passphraseGemerkt(bund), f.gemerkt) << &f - faelle;
    // The existence check asks for no data and never lets a dialog appear.
    EXPECT_TRUE(bund.kontexte.at(0)->interaktionVerboten);
    for (const auto& a : bund.aufrufe) EXPECT_EQ(a.rfind("suchen", 0), 0u) << a;
    const Besitzerkontext kontext{.bestaetigt = true};
    auto gelesen = passphraseLesen(bund, &kontext);
    EXPECT_EQ(gelesen ? Text(std::string(gelesen->text())) : Text(), f.gelesen) << &f - faelle;
  }
}

TEST(Passphrase, MerkenBevorzugtDenGeschuetztenOrtVergessenLoeschtBeide) {
  struct Fall {
    bool regel;
    Text regelFehler;
    std::optional<int> gAdd, lAdd;
    Text gVorher, lVorher, gNachher, lNachher;
    std::vector<std::string> zeilen;  // "*": any line
  };
  const std::string rueck = ") — Rückfall auf den Login-Schlüsselbund";
  const std::string ohne = "Taler Wacht: geschützter Schlüsselbund nicht möglich (";
  const std::string keineRegel = "Taler Wacht: keine Zugriffsregel für den Schlüsselbund (";
  const std::vector<Fall> faelle = {
      {true, {}, {}, {}, {}, "alt", "neu", {}, {}},
      {true, {}, -34018, {}, "alt", {}, {}, "neu", {ohne + "-34018, Entitlement fehlt" + rueck}},
      {true, {}, -34018, {}, {}, "alt", {}, "neu", {"*"}},  // a duplicate is updated
      {true, {}, -7, {}, {}, {}, {}, "neu", {ohne + "-7" + rueck}},
      {false, "kaputt", {}, {}, "alt", {}, "alt", "neu", {keineRegel + "kaputt" + rueck}},
      {false, {}, {}, {}, {}, {}, {}, "neu", {keineRegel + "?" + rueck}},
      {true, {}, -34018, -9, {}, {}, {}, {}, {"*", "Taler Wacht: Passphrase ließ sich nicht merken (-9)"}},
  };
  for (size_t i = 0; i < faelle.size(); ++i) {
    SCOPED_TRACE(i);
    const Fall& f = faelle[i];
    ProtokollMitschnitt protokoll;
    SchluesselbundAttrappe bund;
    bund.regel = f.regel;
    bund.regelFehler = f.regelFehler;
    bund.hinzufuegenStatus = {f.lAdd, f.gAdd};
    bund.geschuetzt = f.gVorher;
    bund.login = f.lVorher;
    passphraseMerken(bund, Geheimnis("neu"));
    EXPECT_EQ(bund.geschuetzt, f.gNachher);
    EXPECT_EQ(bund.login, f.lNachher);
    const auto zeilen = protokoll.zeilen();
    ASSERT_EQ(zeilen.size(), f.zeilen.size());
    for (size_t z = 0; z < zeilen.size(); ++z)
      if (f.zeilen[z] != "*") EXPECT_EQ(zeilen[z], f.zeilen[z]);
    if (!f.lVorher && (bund.geschuetzt || bund.login)) EXPECT_EQ(bund.bezeichnung, "Taler Wacht — Tresor");
    bund.aufrufe.clear();
    passphraseVergessen(bund);
    EXPECT_FALSE(bund.gemerkt());
    EXPECT_EQ(bund.aufrufe, (std::vector<std::string>{"loeschen geschuetzt", "loeschen login"}));
  }
}

}  // namespace
}  // namespace tw
