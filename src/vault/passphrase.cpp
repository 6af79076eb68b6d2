#include "vault/passphrase.h"

#include <atomic>
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

Gemerkt passphraseGemerkt(Schluesselbund& bund) {
  Besitzerkontext ohneDialog{.interaktionVerboten = true};
  const int geschuetzt = bund.suchen(schluesselbundAbfrage(true), {.kontext = &ohneDialog}, nullptr);
  // Present but behind the owner's confirmation still counts.
  if (geschuetzt == errSecSuccess || geschuetzt == errSecInteractionNotAllowed) return Gemerkt::ja;
  const int login = bund.suchen(schluesselbundAbfrage(false), {}, nullptr);
  if (login == errSecSuccess) return Gemerkt::ja;
  // Without any keyring nothing can be remembered.
  if (login == errSecItemNotFound || login == errSecNotAvailable) return Gemerkt::nein;
  return Gemerkt::unklar;
}

std::optional<Geheimnis> passphraseLesen(Schluesselbund& bund, const Besitzerkontext* kontext) {
  Geheimnis daten;
  if (bund.suchen(schluesselbundAbfrage(true), {.kontext = kontext, .mitDaten = true}, &daten) ==
      errSecSuccess)
    return alsText(std::move(daten));  // undecodable bytes do not fall back
  daten.leeren();
  // The confirmation also lets a locked login keyring ask to be opened; it is the only place some keyrings
  // have.
  const int status =
      bund.suchen(schluesselbundAbfrage(false), {.kontext = kontext, .mitDaten = true}, &daten);
  if (status == errSecSuccess) {
    auto text = alsText(std::move(daten));
    if (!text) protokollieren("gemerkte Passphrase ist kein gültiges UTF-8");
    return text;
  }
  protokollieren("gemerkte Passphrase nicht lesbar (" + std::to_string(status) + ")");
  return std::nullopt;
}

bool passphraseMerken(Schluesselbund& bund, const Geheimnis& passphrase) {
  std::optional<std::string> fehler;
  if (bund.zugriffsregelErstellen(fehler)) {
    bund.loeschen(schluesselbundAbfrage(true));
    const int status = bund.hinzufuegen(schluesselbundAbfrage(true), bezeichnung, passphrase);
    if (status == errSecSuccess) {
      bund.loeschen(schluesselbundAbfrage(false));
      return true;
    }
    // Where the protected place never exists this is no news after the first time.
    static std::atomic<bool> ohneBerechtigungGemeldet{false};
    if (status != errSecMissingEntitlement || !ohneBerechtigungGemeldet.exchange(true))
      protokollieren("geschützter Schlüsselbund nicht möglich (" + std::to_string(status) +
                     (status == errSecMissingEntitlement ? ", Entitlement fehlt" : "") +
                     std::string(rueckfall));
  } else {
    protokollieren("keine Zugriffsregel für den Schlüsselbund (" + fehler.value_or("?") +
                   std::string(rueckfall));
  }
  int status = bund.hinzufuegen(schluesselbundAbfrage(false), bezeichnung, passphrase);
  if (status == errSecDuplicateItem) status = bund.aktualisieren(schluesselbundAbfrage(false), passphrase);
  if (status == errSecSuccess) return true;
  protokollieren("Passphrase ließ sich nicht merken (" + std::to_string(status) + ")");
  return false;
}

bool passphraseVergessen(Schluesselbund& bund) {
  // Gone, never there, or no keyring at all to keep it.
  const auto weg = [](int status) {
    return status == errSecSuccess || status == errSecItemNotFound || status == errSecNotAvailable;
  };
  const int geschuetzt = bund.loeschen(schluesselbundAbfrage(true));
  const int login = bund.loeschen(schluesselbundAbfrage(false));
  if (weg(geschuetzt) && weg(login)) return true;
  protokollieren("gemerkte Passphrase ließ sich nicht löschen (" +
                 std::to_string(weg(geschuetzt) ? login : geschuetzt) + ")");
  return false;
}

}  // namespace tw
