#pragma once
// The vault as the server sees it: set up or not (its file), and whether it
// is open right now. Open/closed lives in this process only and ends by
// itself after the set time. Safe to use from every request thread.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>

namespace tw {

enum class Stand { leer, zu, offen };

struct Lage {
  Stand stand = Stand::leer;
  std::int64_t restminuten = 0;  // only while open: the time left, rounded up
};

enum class Ergebnis { offen, falsch, leer, schonEingerichtet, unlesbar, fehlgeschlagen };

class Tresor {
 public:
  Tresor(std::filesystem::path datei, std::int64_t minuten, std::chrono::milliseconds minutenlaenge);

  Lage lage();
  // Opens the vault for the set time when the passphrase matches its file.
  Ergebnis entsperren(std::string_view passphrase);
  // Creates the vault file when there is none, and opens the vault.
  Ergebnis einrichten(std::string_view passphrase);
  Lage sperren();

 private:
  using Uhr = std::chrono::steady_clock;
  Lage lageGesperrt();  // with mutex_ held
  void oeffnen();

  const std::filesystem::path datei_;
  const std::chrono::milliseconds minutenlaenge_;
  const std::chrono::milliseconds offenDauer_;
  std::mutex mutex_;
  std::optional<Uhr::time_point> offenBis_;
  std::mutex einrichten_;  // one creation at a time, without blocking the state
};

}  // namespace tw
