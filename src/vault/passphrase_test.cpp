#include "vault/passphrase.h"

#include <gtest/gtest.h>

#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"
#include "vault/merkstand.h"

namespace tw {
namespace {

using Text = std::optional<std::string>;
constexpr int geschuetzt = 1;

TEST(Passphrase, GemerktUndLesenSuchenErstGeschuetztDannLogin) {
  struct Fall {
    std::optional<int> gStatus, lStatus;  // forced status of every look-up in that place
    Text gItem, lItem;
    Gemerkt gemerkt;
    Text gelesen;
  };
  using enum Gemerkt;
  const Fall faelle[] = {
      {{}, {}, {}, {}, nein, {}},
      {{}, {}, "g", "l", ja, "g"},
      {errSecInteractionNotAllowed, {}, {}, {}, ja, {}},  // there, but behind the owner
      {-50, {}, {}, "l", ja, "l"},
      {{}, {}, "\xff\xfe", "l", ja, {}},  // undecodable bytes do not fall back
      {{}, {}, {}, "a\xc3", ja, {}},
      // Without a keyring nothing is remembered; locked against searching or silent, nobody knows.
      {{}, errSecNotAvailable, {}, {}, nein, {}},
      {{}, errSecInteractionNotAllowed, {}, {}, unklar, {}},
      {{}, keineAntwortInFrist, {}, {}, unklar, {}},
  };
  for (const auto& f : faelle) {
    SchluesselbundAttrappe bund;
    bund.suchenStatus = {f.lStatus, f.gStatus};
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
      // A duplicate is updated; the missing entitlement is no news the second time.
      {true, {}, -34018, {}, {}, "alt", {}, "neu", {}},
      {true, {}, -7, {}, {}, {}, {}, "neu", {ohne + "-7" + rueck}},
      {false, "kaputt", {}, {}, "alt", {}, "alt", "neu", {keineRegel + "kaputt" + rueck}},
      {false, {}, {}, {}, {}, {}, {}, "neu", {keineRegel + "?" + rueck}},
      {true, {}, -34018, -9, {}, {}, {}, {}, {"Taler Wacht: Passphrase ließ sich nicht merken (-9)"}},
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
    EXPECT_EQ(passphraseMerken(bund, Geheimnis("neu")), f.gNachher || f.lNachher);
    EXPECT_EQ(bund.geschuetzt, f.gNachher);
    EXPECT_EQ(bund.login, f.lNachher);
    const auto zeilen = protokoll.zeilen();
    ASSERT_EQ(zeilen.size(), f.zeilen.size());
    for (size_t z = 0; z < zeilen.size(); ++z) {
      if (f.zeilen[z] != "*") {
        EXPECT_EQ(zeilen[z], f.zeilen[z]);
      }
    }
    if (!f.lVorher && (bund.geschuetzt || bund.login)) {
      EXPECT_EQ(bund.bezeichnung, "Taler Wacht — Tresor");
    }
    bund.aufrufe.clear();
    EXPECT_TRUE(passphraseVergessen(bund));
    EXPECT_FALSE(bund.gemerkt());
    EXPECT_EQ(bund.aufrufe, (std::vector<std::string>{"loeschen geschuetzt", "loeschen login"}));
  }
}

TEST(Passphrase, VergessenSagtWennDerSchluesselbundEsBehielt) {
  // What deleting answered: gone, never there, no keyring at all; anything else kept it.
  for (const auto& [status, weg] : {std::pair{errSecSuccess, true},
                                    {errSecItemNotFound, true},
                                    {errSecNotAvailable, true},
                                    {errSecUserCanceled, false},
                                    {errSecInteractionNotAllowed, false},
                                    {keineAntwortInFrist, false}}) {
    ProtokollMitschnitt protokoll;
    SchluesselbundAttrappe bund;
    bund.login = "l";
    bund.loeschenStatus = status;
    EXPECT_EQ(passphraseVergessen(bund), weg) << status;
    EXPECT_EQ(protokoll.zeilen().size(), weg ? 0u : 1u) << status;
  }
}

TEST(Merkstand, UnklarHaeltDieLetzteAntwortUndFragtSeltener) {
  using namespace std::chrono_literals;
  Merkstand m;
  Zeitpunkt t{};
  m.antwort(*m.schauen(t), Gemerkt::ja, t);
  ASSERT_TRUE(m.gemerkt());
  // Unclear twice: still remembered, asked again after 30 s, then after 60 s.
  for (const Dauer pause : {30s, 60s}) {
    m.antwort(*m.schauen(t), Gemerkt::unklar, t);
    EXPECT_TRUE(m.gemerkt());
    EXPECT_FALSE(m.schauen(t + pause - 1s));
    t += pause;
  }
  // The user's own action looks at once, and an answer from before it no longer counts.
  const auto alt = *m.schauen(t);
  m.neu(false);
  m.antwort(alt, Gemerkt::ja, t);
  EXPECT_FALSE(m.gemerkt());
  m.antwort(*m.schauen(t), Gemerkt::ja, t);
  EXPECT_TRUE(m.gemerkt());
}

}  // namespace
}  // namespace tw
