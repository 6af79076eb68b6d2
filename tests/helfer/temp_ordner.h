#pragma once
// A private temporary folder that is removed with everything in it.

#include <filesystem>
#include <string_view>

namespace tw {

class TempOrdner {
 public:
  TempOrdner();
  ~TempOrdner();
  TempOrdner(const TempOrdner&) = delete;
  TempOrdner& operator=(const TempOrdner&) = delete;

  const std::filesystem::path& pfad() const { return pfad_; }
  std::filesystem::path operator/(std::string_view name) const { return pfad_ / name; }

 private:
  std::filesystem::path pfad_;
};

// Writes a file as it is, without any of the program's rules.
void dateiSchreiben(const std::filesystem::path& datei, std::string_view inhalt);

}  // namespace tw
