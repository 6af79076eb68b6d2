#pragma once
// Builds a fresh snapshot from the servers' files, the process table and one
// "zustand" request per local page. Blocks; runs off the main loop.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "lifecycle/prozesse.h"
#include "status/zustand.h"

namespace tw {

struct Sammelquellen {
  std::filesystem::path zustandOrdner;
  std::filesystem::path konfigOrdner;
  std::optional<std::string> port;  // GELD_BOTE_PORT, verbatim
  std::string eigeneFassung;
  // The process table: alive, and one of the product's own.
  std::function<bool(std::int32_t)> lebt = [](std::int32_t pid) { return tw::lebt(pid); };
  std::function<bool(std::int32_t)> istUnser = [](std::int32_t pid) { return prozessIstUnser(pid); };
};

// The program's own folders, environment, version and process table.
Sammelquellen programmQuellen();

Zustand sammeln(const Sammelquellen& quellen);
Zustand sammeln();

}  // namespace tw
