#pragma once
// Seam: confirming that the person at the computer is its owner, before a
// remembered passphrase is used. Linux: PAM for the user who runs the app,
// asked through a dialog of our own. Tests: scripted outcomes.

#include <functional>
#include <memory>
#include <string>

namespace tw {

// The context of one confirmation; the keyring read after it may ask the
// desktop to unlock the keyring, which a menu redraw never does.
struct Besitzerkontext {
  bool interaktionVerboten = false;
  bool bestaetigt = false;
};

using Bestaetigt = std::function<void(bool bestaetigt, std::shared_ptr<Besitzerkontext> kontext)>;

struct Besitzerbestaetigung {
  virtual ~Besitzerbestaetigung() = default;
  // Main thread only; returns at once. `dann` runs exactly once, later, on
  // the main loop: true only when the owner was confirmed, false on cancel,
  // failure or when confirmation is not possible at all (then without any
  // dialog). `grund` is an infinitive clause such as "den Tresor … zu
  // entsperren".
  virtual void besitzerBestaetigen(const std::string& grund, Bestaetigt dann) = 0;
};

// The sentence a confirmation dialog shows for `grund`.
std::string bestaetigungsSatz(const std::string& grund);

}  // namespace tw
