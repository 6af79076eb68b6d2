#include "helfer/speichersuche.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tw {
namespace {

constexpr std::uintptr_t seite = 4096;
// Larger writable mappings are sanitizer shadow or reservations, not data.
constexpr std::uintptr_t groessteAbbildung = std::uintptr_t{4} << 30;

struct Datei {
  int fd;
  explicit Datei(const std::string& pfad) : fd(::open(pfad.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~Datei() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::vector<Fundstelle> speicherDurchsuchen(pid_t pid, std::string_view muster) {
  std::vector<Fundstelle> funde;
  const std::string proc = "/proc/" + std::to_string(pid);
  std::ifstream karten(proc + "/maps");
  Datei speicher(proc + "/mem"), seitenkarte(proc + "/pagemap");
  if (speicher.fd < 0 || seitenkarte.fd < 0 || muster.empty()) return funde;
  std::string zeile;
  std::vector<char> puffer;
  while (std::getline(karten, zeile)) {
    std::istringstream felder(zeile);
    std::string bereich, rechte, versatz, geraet, inode, name;
    felder >> bereich >> rechte >> versatz >> geraet >> inode;
    std::getline(felder >> std::ws, name);
    if (rechte.size() < 2 || rechte[0] != 'r' || rechte[1] != 'w' || name == "[vvar]") continue;
    const auto strich = bereich.find('-');
    const std::uintptr_t von = std::stoull(bereich.substr(0, strich), nullptr, 16);
    const std::uintptr_t bis = std::stoull(bereich.substr(strich + 1), nullptr, 16);
    if (bis - von > groessteAbbildung) continue;
    // Runs of present pages, read as one piece so that a copy across a page edge is found.
    std::uintptr_t lauf = 0;
    auto lesen = [&](std::uintptr_t ende) {
      if (lauf == 0) return;
      puffer.resize(ende - lauf);
      if (::pread(speicher.fd, puffer.data(), puffer.size(), static_cast<off_t>(lauf)) ==
          static_cast<ssize_t>(puffer.size())) {
        for (auto it = puffer.begin();
             (it = std::search(it, puffer.end(), muster.begin(), muster.end())) != puffer.end(); ++it)
          funde.push_back({lauf + static_cast<std::uintptr_t>(it - puffer.begin()), name});
      }
      lauf = 0;
    };
    for (std::uintptr_t a = von; a < bis; a += seite) {
      std::uint64_t eintrag = 0;
      const bool da =
          ::pread(seitenkarte.fd, &eintrag, sizeof eintrag, static_cast<off_t>(a / seite * 8)) == 8 &&
          (eintrag >> 63 & 1);
      if (da && lauf == 0) lauf = a;
      if (!da) lesen(a);
    }
    lesen(bis);
  }
  return funde;
}

}  // namespace tw
