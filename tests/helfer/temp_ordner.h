#pragma once
// A private temporary folder that is removed with everything in it.

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tw {

class TempOrdner {
 public:
  TempOrdner() {
    std::string vorlage = std::filesystem::temp_directory_path() / "tw-test-XXXXXX";
    if (!::mkdtemp(vorlage.data())) throw std::runtime_error("mkdtemp");
    pfad_ = vorlage;
  }
  ~TempOrdner() { std::filesystem::remove_all(pfad_, fehler_); }
  TempOrdner(const TempOrdner&) = delete;
  TempOrdner& operator=(const TempOrdner&) = delete;
  const std::filesystem::path& pfad() const { return pfad_; }
  std::filesystem::path operator/(std::string_view name) const { return pfad_ / name; }

 private:
  std::filesystem::path pfad_;
  std::error_code fehler_;
};

// The permission bits of a file or folder (not following a link).
inline unsigned rechte(const std::filesystem::path& pfad) {
  struct stat st {};
  ::lstat(pfad.c_str(), &st);
  return st.st_mode & 07777;
}

// Writes a file as it is, without any of the program's rules.
inline void dateiSchreiben(const std::filesystem::path& datei, std::string_view inhalt) {
  std::ofstream(datei, std::ios::binary | std::ios::trunc) << inhalt;
}

}  // namespace tw
