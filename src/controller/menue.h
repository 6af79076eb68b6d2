#pragma once
// The tray icon, its title and its menu, computed from one snapshot and a few
// small local facts. A pure function, so every row can be checked as a value.

#include <optional>
#include <string>

#include "lifecycle/skriptsuche.h"
#include "platform/statusanzeige.h"
#include "status/zustand.h"

namespace tw {

struct Menueeingaben {
  const Zustand& zustand;
  bool passphraseGemerkt = false;
  bool neueAdresse = false;
  Skriptfund skript;                     // the search for the server block
  std::optional<Skriptfund> entfernen;   // a fresh search for the removal row; only inside the bundle
  std::optional<std::string> autostart;  // the "autostart" file, trimmed
  std::string fassung;
};

std::string titelText(const Zustand& zustand, bool neueAdresse);
Anzeige anzeigeBauen(const Menueeingaben& e);

}  // namespace tw
