#include "vault/passphrase.h"

#include "app/konstanten.h"
#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"
#include "test.h"
#include "vault/merkstand.h"
#include "vault/schluesselbundregeln.h"

namespace tw {
namespace {

using Text = std::optional<std::string>;

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
    std::vector<std::string> zeilen;
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
    EXPECT_EQ(protokoll.zeilen(), f.zeilen);
    bund.aufrufe.clear();
    EXPECT_TRUE(passphraseVergessen(bund));
    EXPECT_FALSE(bund.gemerkt());
    EXPECT_EQ(bund.aufrufe, (std::vector<std::string>{"loeschen geschuetzt", "loeschen login"}));
  }
}

TEST(Passphrase, VergessenSagtWennDerSchluesselbundEsBehielt) {
  // What deleting answered: gone, never there, no keyring at all; anything else kept it.
  const std::pair<int, bool> faelle[] = {
      {errSecSuccess, true},       {errSecItemNotFound, true},           {errSecNotAvailable, true},
      {errSecUserCanceled, false}, {errSecInteractionNotAllowed, false}, {keineAntwortInFrist, false}};
  for (const auto& [status, weg] : faelle) {
    ProtokollMitschnitt protokoll;
    SchluesselbundAttrappe bund;
    bund.login = "l";
    bund.loeschenStatus = status;
    EXPECT_EQ(passphraseVergessen(bund), weg) << status;
    EXPECT_EQ(protokoll.zeilen().size(), weg ? 0u : 1u) << status;
  }
}

TEST(Schluesselbundregeln, StatusNachDienstfehler) {
  const std::string bus = "org.freedesktop.DBus.Error.", dienst = "org.freedesktop.Secret.Error.";
  const int weg = -1;  // what a missing object means for the call
  const std::pair<int, std::vector<std::string>> faelle[] = {
      {errSecInteractionNotAllowed, {dienst + "IsLocked"}},
      {weg, {dienst + "NoSuchObject", bus + "UnknownObject", bus + "UnknownMethod"}},
      {errSecNotAvailable,
       {bus + "ServiceUnknown", bus + "NameHasNoOwner", bus + "NoReply", bus + "Timeout", bus + "TimedOut",
        bus + "Disconnected", "org.gtk.GDBus.UnmappedGError.Quark._g_2dio_2derror_2dquark.Code19"}},
      {errSecInternalComponent, {bus + "AccessDenied", dienst + "IsLockedNicht"}}};
  for (const auto& [status, namen] : faelle)
    for (const auto& name : namen) EXPECT_EQ(dienstfehlerStatus(name, weg), status) << name;
}

TEST(Schluesselbundregeln, OhneDienstNachfragenUndFortgang) {
  using enum Bundaufruf;
  ProtokollMitschnitt protokoll;  // Linux has no protected place; text not UTF-8 never reaches the service
  const auto g = schluesselbundAbfrage(true), l = schluesselbundAbfrage(false);
  // clang-format off
  const std::tuple<Bundaufruf, Schluesselbundabfrage, const char*, std::optional<int>> vorab[] = {
      {hinzufuegen, g, "", errSecMissingEntitlement}, {vorhanden, g, "", errSecItemNotFound},
      {lesen, g, "", errSecItemNotFound}, {aktualisieren, g, "", errSecItemNotFound},
      {loeschen, g, "", errSecItemNotFound}, {hinzufuegen, l, "ä", {}},
      {hinzufuegen, l, "a\xc3", errSecParam}, {loeschen, {"d", "\xff"}, "", errSecParam}};
  // clang-format on
  for (const auto& [aufruf, abfrage, label, status] : vorab)
    EXPECT_EQ(ohneDienst(aufruf, abfrage, label), status) << int(aufruf) << label;
  EXPECT_EQ(protokoll.zeilen().size(), 2u);
  // Only a read right after the owner's confirmation, and every write, may run the service's prompts.
  const Besitzerkontext ja{.bestaetigt = true}, nein{};
  const std::tuple<Bundaufruf, const Besitzerkontext*, bool> fragen[] = {
      {vorhanden, &ja, false},  {lesen, &ja, true},           {lesen, &nein, false},
      {lesen, nullptr, false},  {hinzufuegen, nullptr, true}, {aktualisieren, nullptr, true},
      {loeschen, nullptr, true}};
  for (const auto& [aufruf, kontext, darf] : fragen) EXPECT_EQ(nachfragenErlaubt(aufruf, kontext), darf);
  // After the search: unlocked and locked matches, whether it may ask -> a status, go on, or unlock first.
  const int los = 0, entsperren = 1;
  // clang-format off
  const std::tuple<Bundaufruf, int, int, bool, int> fortgang[] = {
      {hinzufuegen, 0, 0, true, los}, {hinzufuegen, 0, 1, true, errSecDuplicateItem},
      {lesen, 1, 1, false, los}, {lesen, 0, 0, true, errSecItemNotFound},
      {lesen, 0, 1, false, errSecInteractionNotAllowed}, {lesen, 0, 1, true, entsperren},
      {loeschen, 0, 0, true, errSecItemNotFound}, {loeschen, 2, 0, true, los},
      {aktualisieren, 1, 1, true, entsperren}};
  // clang-format on
  for (const auto& [aufruf, offen, gesperrt, nachfragen, erwartet] : fortgang) {
    const auto weiter = nachDerSuche(aufruf, offen, gesperrt, nachfragen);
    EXPECT_EQ(weiter.status.value_or(weiter.entsperren ? entsperren : los), erwartet) << int(aufruf) << offen;
  }
}

TEST(Merkstand, UnklarHaeltDieLetzteAntwortUndFragtSeltener) {
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
