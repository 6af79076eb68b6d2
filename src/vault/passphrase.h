#pragma once
// The remembered vault passphrase: one item in the keyring, in the protected
// place when the keyring offers one, else in the login place. Stateless; the
// keyring seam must be safe to use from any one thread at a time per call.

#include <optional>

#include "platform/besitzerbestaetigung.h"
#include "platform/schluesselbund.h"
#include "vault/geheimnis.h"

namespace tw {

// The item's identity: the match of every lookup, update and delete.
Schluesselbundabfrage schluesselbundAbfrage(bool geschuetzt = false);

// What a look-up tells: `unklar` when the keyring is locked against
// searching or did not answer in time, so that the last answer still holds.
enum class Gemerkt { nein, ja, unklar };

// Whether a passphrase is remembered in either place. Never asks the user.
Gemerkt passphraseGemerkt(Schluesselbund& bund);
// The remembered passphrase, read within the owner's confirmation when given;
// nothing, with a log line, when it cannot be read.
std::optional<Geheimnis> passphraseLesen(Schluesselbund& bund, const Besitzerkontext* kontext);
// Stores the passphrase, preferring the protected place; false, logged, when
// it is not stored.
bool passphraseMerken(Schluesselbund& bund, const Geheimnis& passphrase);
// Deletes the item in both places; false, logged, when the keyring kept it.
bool passphraseVergessen(Schluesselbund& bund);

}  // namespace tw
