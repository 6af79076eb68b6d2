#pragma once
// The decisions of the keyring on the Secret Service, apart from D-Bus: which
// call may run the service's prompts, what the service's errors mean, how an
// item call goes on after its search, and what the missing protected place
// answers. The Linux keyring only carries them out.

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/schluesselbund.h"

namespace tw {

// Statuses only the Secret Service answers, besides those of the seam.
inline constexpr int errSecParam = -50;                // service, account or label not UTF-8
inline constexpr int errSecInternalComponent = -2070;  // any other error of the service
inline constexpr int errSecNoSuchKeychain = -25294;    // no default collection to store into

enum class Bundaufruf { hinzufuegen, vorhanden, lesen, aktualisieren, loeschen };

// The answer given without asking the service: the protected place, which
// Linux does not have, and text that is not UTF-8. Logs the latter.
std::optional<int> ohneDienst(Bundaufruf aufruf, const Schluesselbundabfrage& abfrage,
                              std::string_view label = {});

// Whether the call may run the service's prompts and so waits with the long
// bound: only a read right after the owner's confirmation, and every write.
bool nachfragenErlaubt(Bundaufruf aufruf, const Besitzerkontext* kontext);

// A failed call to the service, by the D-Bus name of its error (GLib's own
// errors carry the name GDBus gives unmapped ones). `keinObjekt`: what a
// missing object means for this call.
int dienstfehlerStatus(std::string_view fehlername, int keinObjekt);

// A locked login collection refused CreateItem (KWallet's until some client
// opened the wallet): unlock it and try once more.
bool nachEntsperrenNochmal(int status, bool schonEntsperrt);

// How an item call goes on after the search found `offen` unlocked and
// `gesperrt` locked matches: it ends with `status`, or unlocks the locked
// ones first (with a prompt, so only where `nachfragen`) and goes on.
struct Fortgang {
  std::optional<int> status;
  bool entsperren = false;
};
Fortgang nachDerSuche(Bundaufruf aufruf, std::size_t offen, std::size_t gesperrt, bool nachfragen);

// The look-up over the unlocked collections: nothing found while one is
// locked says nothing.
int vorhandenStatus(bool gefunden, bool gesperrt);

// Whether the service answered at all; a streak of other statuses is a
// failure of the keyring, logged once.
bool dienstAntwortete(int status);

}  // namespace tw
