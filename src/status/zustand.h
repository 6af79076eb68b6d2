#pragma once
// One snapshot of the local server programs. Built whole by one collection,
// then only read; each refresh replaces it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "status/url.h"

namespace tw {

struct Zustand {
  bool programmLaeuft = false;
  std::int32_t programmPid = 0;
  std::string adresse;
  std::vector<std::int64_t> claudePorts;
  std::vector<Url> seiten;
  std::vector<Url> eigeneSeiten;
  std::string fremdeFassung;
  std::string tresor = "unbekannt";  // "offen", "zu", "leer" or "unbekannt"
  std::optional<std::int64_t> restminuten;
  bool programmVeraltet = false;
  bool selbstVeraltet = false;

  bool aktiv() const { return programmLaeuft || !claudePorts.empty(); }
};

}  // namespace tw
