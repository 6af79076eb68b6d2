#pragma once
// An item's menu over com.canonical.dbusmenu: its top-level rows, and clicks.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw::leiste {

enum class Haken { keiner, aus, an };  // no check box, unchecked, checked

struct Zeile {
  std::int32_t id = 0;
  bool trenner = false;
  std::string titel;  // without mnemonic underscores
  bool aktiv = true;
  bool sichtbar = true;
  Haken haken = Haken::keiner;
  std::string kuerzel;  // keyboard shortcut, e.g. "Control+q", or empty

  bool operator==(const Zeile&) const = default;
};

struct Menue {
  std::vector<Zeile> zeilen;  // invisible ones too, marked
  std::string fehler;         // why nothing could be read; no rows then
};

Menue menueLesen(const std::string& bus, const std::string& menuePfad);

// Sends "clicked" for the row; empty on success, otherwise why it failed.
std::string klicken(const std::string& bus, const std::string& menuePfad, std::int32_t id);

// One line per visible row: "---" for separators, "(aus) " before disabled
// rows, "[x] " / "[ ] " before check rows, the shortcut in angle brackets.
std::string zeilenAlsText(const std::vector<Zeile>& zeilen);

// "_Datei" -> "Datei", "a__b" -> "a_b".
std::string ohneMnemonik(std::string_view titel);

}  // namespace tw::leiste
