#pragma once
// What a signature verdict on a bundle depends on, as a stat walk sees it:
// every entry under the bundle, the bundle first, with its inode, type,
// size, modification and change time. A file edited in place changes its
// own times, though not the bundle folder's; an entry added, removed or
// renamed changes its folder's times. Links are never followed.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class Buendelstand {
 public:
  // Walks the bundle. Nothing when the walk could not see every entry; a
  // missing bundle is recorded as missing.
  static std::optional<Buendelstand> erfassen(const std::filesystem::path& buendel);

  // Whether every recorded entry still looks the same: one lstat each, and
  // no folder is listed again.
  bool unveraendert() const;

 private:
  struct Werte {
    std::uint64_t inode = 0, art = 0, groesse = 0, mSek = 0, mNsek = 0, cSek = 0, cNsek = 0;
    bool operator==(const Werte&) const = default;
  };
  struct Eintrag {
    std::string pfad;
    Werte werte;  // all zero: nothing there
  };

  static Werte werteVon(const std::string& pfad);
  bool ordnerErfassen(int ordner, const std::string& pfad, int tiefe);

  std::vector<Eintrag> eintraege_;
};

}  // namespace tw
