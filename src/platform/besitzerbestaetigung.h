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

// The rules of the confirmation through PAM; PAM's own codes stay on the
// Linux side, which reads them as these.
enum class PamErgebnis { erfolg, falsch, anderes };  // PAM_SUCCESS, PAM_AUTH_ERR, anything else
inline constexpr int hoechstVersuche = 3;
inline constexpr const char* passwortFalsch = "Das Passwort war nicht richtig.";

// After each pam_authenticate: whether the owner gets another try. Only a
// wrong answer is worth one; a failure without a question would just repeat.
bool nochEinVersuch(PamErgebnis anmeldung, bool gefragt, int versuch, bool abgebrochen);

// How a confirmation ends: a reason keeps the dialog open until the owner closes it.
struct BesitzerAusgang {
  bool bestaetigt = false;
  std::string warum{};  // empty: the dialog closes at once
  bool operator==(const BesitzerAusgang&) const = default;
};
// The ending when confirming is not possible at all (no user, no PAM, no thread).
BesitzerAusgang nichtMoeglich();
// `konto` is the account check's answer, asked only after a successful `anmeldung`.
BesitzerAusgang besitzerAusgang(PamErgebnis anmeldung, PamErgebnis konto, bool gefragt, int versuch,
                                bool abgebrochen);

// What a PAM message asks of the dialog. A question needs a place for the
// reply; after a cancel every message is refused.
enum class PamNachricht { frageVerdeckt, frageSichtbar, notiz, unbekannt };
enum class PamUmgang { fragen, zeigen, ablehnen };
PamUmgang umgangMit(PamNachricht art, bool antwortPlatz, bool abgebrochen);

// A screen reader names the field after PAM's question, without its ": ".
std::string feldName(std::string frage);

}  // namespace tw
