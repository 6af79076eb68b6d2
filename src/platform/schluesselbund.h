#pragma once
// Seam: the four item calls of the keyring and their status codes.
// Linux: the Secret Service through libsecret. Tests: an in-memory keyring
// whose statuses can be switched.
//
// A look-up without data never asks the user and answers within a short
// bound, fit for the main loop. Every other call — a read within the owner's
// confirmation, every write and delete — runs the keyring's own prompts (to
// unlock it, or to allow the access) and may wait for a person for minutes:
// call those off the main loop.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/besitzerbestaetigung.h"
#include "vault/geheimnis.h"

namespace tw {

inline constexpr int errSecSuccess = 0;
inline constexpr int errSecItemNotFound = -25300;
inline constexpr int errSecDuplicateItem = -25299;
inline constexpr int errSecInteractionNotAllowed = -25308;  // locked, or it would have to ask
inline constexpr int errSecUserCanceled = -128;             // the user dismissed the keyring's prompt
inline constexpr int errSecNotAvailable = -25291;           // no keyring service to ask
// Ours, never the keyring's: it did not answer within the bound.
inline constexpr int keineAntwortInFrist = 1;

// The identity of the remembered passphrase: service, account and place.
struct Schluesselbundabfrage {
  std::string dienst;
  std::string konto;
  bool geschuetzt = false;  // the protected place, whose every read needs the owner
};

struct Suche {
  // The owner's confirmation; with one the keyring may ask to unlock itself.
  const Besitzerkontext* kontext = nullptr;
  bool mitDaten = false;  // false: only whether the item exists
};

struct Schluesselbund {
  virtual ~Schluesselbund() = default;
  // The rule that guards the protected place. False with a description (or
  // none) when it cannot be made.
  virtual bool zugriffsregelErstellen(std::optional<std::string>& fehler) = 0;
  virtual int hinzufuegen(const Schluesselbundabfrage& abfrage, std::string_view label,
                          const Geheimnis& daten) = 0;
  // `daten` receives the secret when `suche.mitDaten` and the status is 0.
  virtual int suchen(const Schluesselbundabfrage& abfrage, const Suche& suche, Geheimnis* daten) = 0;
  virtual int aktualisieren(const Schluesselbundabfrage& abfrage, const Geheimnis& daten) = 0;
  virtual int loeschen(const Schluesselbundabfrage& abfrage) = 0;
  // Ends every call that waits for a person (the app quits); they answer at once.
  virtual void abbrechen() {}
};

}  // namespace tw
