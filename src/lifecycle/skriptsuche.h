#pragma once
// Finds the one start script the menu app may run: the one in its own
// bundle, or, for a bare executable, the newest signed copy of the product
// in an applications folder. Runs on the main thread; not cached.

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "lifecycle/signaturtor.h"

namespace tw {

struct Skriptfund {
  std::optional<std::filesystem::path> skript{};
  // A bundle had the script but failed the signature gate.
  bool abgelehnt = false;
};

struct Suchquellen {
  // Set when the program runs from a bundle: then it is the only candidate.
  std::optional<std::filesystem::path> eigenesBuendel;
  // Otherwise these folders are scanned in order.
  std::vector<std::filesystem::path> ordner;
  std::function<bool(const std::filesystem::path&)> vertrauenswuerdig = [](const std::filesystem::path& b) {
    return buendelVertrauenswuerdig(b);
  };
};

// The program's own bundle, or "/Applications" and ~/Applications.
Suchquellen programmSuchquellen();

Skriptfund skriptSuchen(const Suchquellen& quellen);
Skriptfund skriptSuchen();
std::optional<std::filesystem::path> skriptPfad();

}  // namespace tw
