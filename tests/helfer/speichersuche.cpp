#include "helfer/speichersuche.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tw {

std::vector<Fundstelle> speicherDurchsuchen(pid_t pid, std::string_view muster) {
  // Larger writable mappings are sanitizer shadow or reservations, not data.
  constexpr std::uintptr_t groessteAbbildung = std::uintptr_t{4} << 30, stueck = 1 << 20;
  std::vector<Fundstelle> funde;
  std::ifstream karten("/proc/" + std::to_string(pid) + "/maps");
  const int speicher = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
  std::string zeile, bereich, rechte, rest, name;
  std::vector<char> puffer;
  while (speicher >= 0 && !muster.empty() && std::getline(karten, zeile)) {
    std::istringstream felder(zeile);
    felder >> bereich >> rechte >> rest >> rest >> rest;
    name.clear();
    std::getline(felder >> std::ws, name);
    const std::uintptr_t von = std::stoull(bereich, nullptr, 16);
    const std::uintptr_t bis = std::stoull(bereich.substr(bereich.find('-') + 1), nullptr, 16);
    if (!rechte.starts_with("rw") || name == "[vvar]" || bis - von > groessteAbbildung) continue;
    // Pieces overlap by the pattern's length, so that no copy is cut in two.
    for (std::uintptr_t a = von; a < bis; a += stueck) {
      puffer.resize(std::min<std::uintptr_t>(stueck + muster.size() - 1, bis - a));
      if (::pread(speicher, puffer.data(), puffer.size(), static_cast<off_t>(a)) != std::ssize(puffer)) break;
      for (auto it = puffer.begin(); (it = std::search(it, puffer.end(), muster.begin(), muster.end())) != puffer.end();
           ++it)
        if (it - puffer.begin() < static_cast<std::ptrdiff_t>(stueck))
          funde.push_back({a + static_cast<std::uintptr_t>(it - puffer.begin()), name});
    }
  }
  if (speicher >= 0) ::close(speicher);
  return funde;
}

}  // namespace tw
