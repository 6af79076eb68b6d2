#pragma once
// The remembered vault passphrase: one item in the keyring, in the protected
// place when the keyring offers one, else in the login place. Stateless; the
// keyring seam must be safe to use from any one thread at a time per call.

#include <optional>

#include "vault/besitzerbestaetigung.h"
#include "vault/geheimnis.h"
#include "vault/schluesselbund.h"

namespace tw {

// The item's identity: the match of every lookup, update and delete.
Schluesselbundabfrage schluesselbundAbfrage(bool geschuetzt = false);

// Whether a passphrase is remembered in either place. Never asks the user.
bool passphraseGemerkt(Schluesselbund& bund);
// The remembered passphrase, read within the owner's confirmation when given.
std::optional<Geheimnis> passphraseLesen(Schluesselbund& bund, const Besitzerkontext* kontext);
// Stores the passphrase, preferring the protected place; failures are logged.
void passphraseMerken(Schluesselbund& bund, const Geheimnis& passphrase);
// Deletes the item in both places.
void passphraseVergessen(Schluesselbund& bund);

}  // namespace tw
