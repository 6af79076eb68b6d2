#pragma once
// Seam: the tray icon with its title and menu. Linux: AppindikatorAnzeige
// (libayatana-appindicator, the menu exported over D-Bus).
// Tests: a recorder that keeps the last Anzeige.

#include <functional>
#include <string>
#include <vector>

namespace tw {

// What a menu row does when clicked: one of the controller's actions.
enum class Aktion {
  keine,
  tresorSperren,
  tresorEntsperren,
  passphraseVergessenKlick,
  neuStartenKlick,
  starten,
  anhalten,
  seiteOeffnen,
  adresseKopieren,
  autostartUmschalten,
  ausblenden,
  beendenKlick,
  zuruecksetzenKlick,
};

enum class Haken { keiner, aus, an };  // no check box, unchecked, checked

struct Menuezeile {
  bool trenner = false;
  std::string titel{};
  Aktion aktion = Aktion::keine;
  std::string taste{};  // key with the primary modifier ("q", ","), or empty
  bool aktiv = false;
  Haken haken = Haken::keiner;

  bool operator==(const Menuezeile&) const = default;
};

inline Menuezeile trennlinie() { return Menuezeile{.trenner = true}; }

struct Anzeige {
  std::string symbol;  // "questionmark.bubble" or "questionmark.bubble.fill"
  std::string titel;   // shown beside the icon
  std::vector<Menuezeile> zeilen;

  bool operator==(const Anzeige&) const = default;
};

struct Statusanzeige {
  virtual ~Statusanzeige() = default;
  // Main thread only. Shows the icon, title and menu; an open menu shows the
  // new rows at once.
  virtual void zeigen(const Anzeige& anzeige) = 0;
  // Main thread only. Called with the row's action when the user clicks it.
  virtual void beiKlick(std::function<void(Aktion)> klick) = 0;
};

}  // namespace tw
