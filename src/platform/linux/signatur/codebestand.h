#pragma once
// The sealed contents of a bundle: every regular file under Contents/ except
// Contents/_CodeSignature/, by its path from the bundle, with its SHA-256.
// The signed list ("CodeResources") is the identifier line and one
// "<hex>  <path>" line per file, sorted bytewise.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

inline constexpr std::string_view signaturOrdner = "Contents/_CodeSignature";
inline constexpr std::string_view ressourcenDatei = "Contents/_CodeSignature/CodeResources";
inline constexpr std::string_view signaturDatei = "Contents/_CodeSignature/CodeSignature";

using Dateiliste = std::map<std::string, std::string>;  // path → hex hash; std::string orders bytewise

struct Bestandsaufnahme {
  Dateiliste dateien;
  std::optional<std::string> fehler;  // a sentence when the bundle cannot be sealed as it is
};

// Walks the bundle without following links. Links, special files, names with
// a line end or backslash, anything beside Contents/ and unreadable files are
// errors.
Bestandsaufnahme bestandAufnehmen(const std::filesystem::path& buendel);

struct Ressourcen {
  std::string kennung;
  Dateiliste dateien;
};

std::string ressourcenText(std::string_view kennung, const Dateiliste& dateien);
// Strict: anything that ressourcenText would not have written gives nothing.
std::optional<Ressourcen> ressourcenLesen(std::string_view text);

// Whether an identifier can stand in the list: printable, no spaces.
bool kennungZulaessig(std::string_view kennung);

// The first file, in path order, that is missing, added or changed.
std::optional<std::string> abweichung(const Dateiliste& versiegelt, const Dateiliste& vorhanden);

}  // namespace tw
