#include "vault/passphrase.h"

#include <string>

#include "app/konstanten.h"
#include "app/protokoll.h"
#include "app/text.h"

namespace tw {
namespace {

constexpr std::string_view bezeichnung = "Taler Wacht — Tresor";
constexpr std::string_view rueckfall = ") — Rückfall auf den Login-Schlüsselbund";

// The bytes as text, or nothing when they are not UTF-8.
std::optional<Geheimnis> alsText(Geheimnis daten) {
  if (!gueltigesUtf8(daten.text())) return std::nullopt;
  return daten;
}

}  // namespace

Schluesselbundabfrage schluesselbundAbfrage(bool geschuetzt) {
  return {std::string(schluesselbundDienst), std::string(schluesselbundKonto), geschuetzt};
}

bool passphraseGemerkt(Schluesselbund& bund) {
  Besitzerkontext ohneDialog{.interaktionVerboten = true};
  const int geschuetzt = bund.suchen(schluesselbundAbfrage(true), {.kontext = &ohneDialog}, nullptr);
  // Present but behind the owner's confirmation still counts.
  if (geschuetzt == errSecSuccess || geschuetzt == errSecInteractionNotAllowed) return true;
  return bund.suchen(schluesselbundAbfrage(false), {}, nullptr) == errSecSuccess;
}

std::optional<Geheimnis> passphraseLesen(Schluesselbund& bund, const Besitzerkontext* kontext) {
  Geheimnis daten;
  if (bund.suchen(schluesselbundAbfrage(true), {.kontext = kontext, .mitDaten = true}, &daten) ==
      errSecSuccess)
    return alsText(std::move(daten));  // undecodable bytes do not fall back
  daten.leeren();
  // The confirmation also lets a locked login keyring ask to be opened; it is the only place some keyrings
  // have.
  if (bund.suchen(schluesselbundAbfrage(false), {.kontext = kontext, .mitDaten = true}, &daten) ==
      errSecSuccess)
    return alsText(std::move(daten));
  return std::nullopt;
}

void passphraseMerken(Schluesselbund& bund, const Geheimnis& passphrase) {
  std::optional<std::string> fehler;
  if (bund.zugriffsregelErstellen(fehler)) {
    bund.loeschen(schluesselbundAbfrage(true));
    const int status = bund.hinzufuegen(schluesselbundAbfrage(true), bezeichnung, passphrase);
    if (status == errSecSuccess) {
      bund.loeschen(schluesselbundAbfrage(false));
      return;
    }
    protokollieren("geschützter Schlüsselbund nicht möglich (" + std::to_string(status) +
                   (status == errSecMissingEntitlement ? ", Entitlement fehlt" : "") +
                   std::string(rueckfall));
  } else {
    protokollieren("keine Zugriffsregel für den Schlüsselbund (" + fehler.value_or("?") +
                   std::string(rueckfall));
  }
  const int status = bund.hinzufuegen(schluesselbundAbfrage(false), bezeichnung, passphrase);
  if (status == errSecDuplicateItem) {
    bund.aktualisieren(schluesselbundAbfrage(false), passphrase);
  } else if (status != errSecSuccess) {
    protokollieren("Passphrase ließ sich nicht merken (" + std::to_string(status) + ")");
  }
}

void passphraseVergessen(Schluesselbund& bund) {
  bund.loeschen(schluesselbundAbfrage(true));
  bund.loeschen(schluesselbundAbfrage(false));
}

}  // namespace tw
