#pragma once
// Hauptbuendel for Linux: the bundle layout of the program's build, with an
// XML property list as information list.

#include <map>

#include "platform/hauptbuendel.h"

namespace tw {

class LinuxBuendel final : public Hauptbuendel {
 public:
  explicit LinuxBuendel(std::optional<std::filesystem::path> ausfuehrbar);

  std::filesystem::path ort() const override { return ort_; }
  std::optional<std::filesystem::path> ausfuehrbarerPfad() const override { return ausfuehrbar_; }
  std::optional<std::string> infoText(std::string_view schluessel) const override;

 private:
  std::optional<std::filesystem::path> ausfuehrbar_;
  std::filesystem::path ort_;
  std::map<std::string, std::string, std::less<>> texte_;
};

// The string entries of the top-level dictionary of an XML property list;
// empty when the file is missing or is no property list.
std::map<std::string, std::string, std::less<>> infoListeLesen(const std::filesystem::path& datei);

}  // namespace tw
