#pragma once
// What a registered tray item shows: its org.kde.StatusNotifierItem properties.

#include <string>

#include "beobachter.h"

namespace tw::leiste {

struct Eintragsdaten {
  std::string kennung;       // Id
  std::string titel;         // Title
  std::string symbol;        // IconName
  std::string symbolOrdner;  // IconThemePath
  std::string menuePfad;     // Menu, the dbusmenu object on the item's bus
  std::string beschriftung;  // XAyatanaLabel, the text beside the icon
  std::string fehler;        // why nothing could be read; the rest is empty then

  bool operator==(const Eintragsdaten&) const = default;
};

// Reads the item's properties; missing or mistyped ones stay empty.
Eintragsdaten eintragLesen(const Eintrag& eintrag);

}  // namespace tw::leiste
