#include "lifecycle/buendelstand.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

namespace tw {

Buendelstand::Werte Buendelstand::werteVon(const std::string& pfad) {
  struct stat st {};
  if (::lstat(pfad.c_str(), &st) != 0) return {};
  return {static_cast<std::uint64_t>(st.st_ino),          static_cast<std::uint64_t>(st.st_mode),
          static_cast<std::uint64_t>(st.st_size),         static_cast<std::uint64_t>(st.st_mtim.tv_sec),
          static_cast<std::uint64_t>(st.st_mtim.tv_nsec), static_cast<std::uint64_t>(st.st_ctim.tv_sec),
          static_cast<std::uint64_t>(st.st_ctim.tv_nsec)};
}

std::optional<Buendelstand> Buendelstand::erfassen(const std::filesystem::path& buendel) {
  Buendelstand stand;
  stand.eintraege_.push_back({buendel.string(), werteVon(buendel.string())});
  if (!S_ISDIR(stand.eintraege_.front().werte.art)) return stand;
  const int ordner = ::open(buendel.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (ordner < 0 || !stand.ordnerErfassen(ordner, buendel.string(), 0)) return std::nullopt;
  return stand;
}

// Adds every entry below the open folder, which is closed here. Deeper than
// any bundle of ours: the walk stops and says so.
bool Buendelstand::ordnerErfassen(int ordner, const std::string& pfad, int tiefe) {
  DIR* liste = tiefe < 32 ? ::fdopendir(ordner) : nullptr;
  if (!liste) {
    ::close(ordner);
    return false;
  }
  bool ganz = true;
  while (const dirent* e = ::readdir(liste)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string unterpfad = pfad + "/" + e->d_name;
    const Werte werte = werteVon(unterpfad);
    eintraege_.push_back({unterpfad, werte});
    if (werte == Werte{}) {
      ganz = false;  // gone between listing and looking
    } else if (S_ISDIR(werte.art)) {
      const int unter = ::openat(::dirfd(liste), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      ganz = unter >= 0 && ordnerErfassen(unter, unterpfad, tiefe + 1) && ganz;
    }
  }
  ::closedir(liste);
  return ganz;
}

bool Buendelstand::unveraendert() const {
  for (const Eintrag& e : eintraege_)
    if (werteVon(e.pfad) != e.werte) return false;
  return true;
}

}  // namespace tw
