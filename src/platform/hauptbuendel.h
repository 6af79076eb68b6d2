#pragma once
// Seam: the bundle the running program came from. Linux: LinuxBuendel, which
// finds the bundle from /proc/self/exe and reads Contents/Info.plist.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

struct Hauptbuendel {
  virtual ~Hauptbuendel() = default;
  // "X.app" for an executable at X.app/Contents/MacOS/<name>, otherwise the
  // executable's folder.
  virtual std::filesystem::path ort() const = 0;
  virtual std::optional<std::filesystem::path> ausfuehrbarerPfad() const = 0;
  // A value of the bundle's information list, only when it is a string.
  virtual std::optional<std::string> infoText(std::string_view schluessel) const = 0;
};

// The running program's bundle, determined once on first use.
const Hauptbuendel& hauptbuendel();

}  // namespace tw
