#pragma once
// Seam: modal alerts. Linux: GtkDialoge (GTK message dialogs).
// Tests: scripted answers.

#include <optional>
#include <string>
#include <vector>

#include "vault/geheimnis.h"

namespace tw {

// The choice names the button by its position: 1000 for the first, 1001 for
// the second, and so on.
inline constexpr int ersterKnopf = 1000;
// No button: the app closed the alert itself, or never showed it.
inline constexpr int keinKnopf = 0;

struct Hinweis {
  std::string nachricht{};  // the bold first line
  std::string text{};       // the informative text below it
  std::vector<std::string> knoepfe{};
  bool kritisch = false;
  bool tresorBild = false;                 // the vault picture as the icon
  std::optional<std::string> kaestchen{};  // a "do not ask again" check box
  // Escape answers with the first button.
  bool ersterAufEscape = false;
  // No default button: Return confirms nothing, not even a focused button.
  bool ohneVorgabe = false;

  bool operator==(const Hinweis&) const = default;
};

// What the user chose. (Named apart from the HTTP client's answer.)
struct Wahl {
  int knopf = ersterKnopf;
  bool kaestchen = false;
};

// What the user chose in an alert with a passphrase field.
struct Eingabe {
  int knopf = ersterKnopf + 1;
  bool kaestchen = false;
  Geheimnis passphrase{};
};

// A button as the alert shows it; `antwort` is its response.
struct Knopf {
  std::string titel;
  int antwort;
  bool operator==(const Knopf&) const = default;
};

// The alert's buttons left to right: the first stands rightmost, an alert
// without buttons gets "OK", and a "_" in a title means itself, not a mnemonic.
std::vector<Knopf> knopfReihe(const Hinweis& hinweis);

// The button a response of the alert stands for: a button's own, or for
// closing without one, the first with ersterAufEscape, else "Abbrechen" or
// the last button.
int knopfFuer(const Hinweis& hinweis, int antwort);

struct Dialoge {
  virtual ~Dialoge() = default;
  // Main thread only. Brings the app to the front and waits for the answer.
  // Closing the alert without a button answers like "Abbrechen" (or the
  // first button with ersterAufEscape).
  virtual Wahl zeigen(const Hinweis& hinweis) = 0;
  // The same alert with a hidden passphrase field above the check box; the
  // field has the focus, Return answers with the first button.
  virtual Eingabe passphraseFragen(const Hinweis& hinweis) = 0;
  // Brings the app's open alert (or confirmation dialog) to the front.
  virtual void nachVorne() = 0;
  // Closes every open alert and confirmation dialog of the app; each answers
  // keinKnopf (a confirmation: cancelled). Returns at once.
  virtual void alleSchliessen() = 0;
};

}  // namespace tw
