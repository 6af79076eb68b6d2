#include "app/konstanten.h"

#include <pwd.h>
#include <unistd.h>

#include <system_error>
#include <vector>

#include "platform/hauptbuendel.h"

extern char** environ;

namespace tw {
namespace {

std::filesystem::path heimAusBenutzerdaten() {
  long groesse = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> puffer(groesse > 0 ? static_cast<std::size_t>(groesse) : 16384);
  struct passwd eintrag {};
  struct passwd* ergebnis = nullptr;
  if (::getpwuid_r(::geteuid(), &eintrag, puffer.data(), puffer.size(), &ergebnis) == 0 && ergebnis &&
      ergebnis->pw_dir)
    return ergebnis->pw_dir;
  return "/";
}

// A relative or empty folder is taken from the working directory at start,
// as a file URL made from it would be.
std::filesystem::path absolut(const std::string& pfad) {
  std::error_code fehler;
  if (pfad.empty()) {
    auto hier = std::filesystem::current_path(fehler);
    return fehler ? std::filesystem::path("/") : hier;
  }
  auto ergebnis = std::filesystem::absolute(pfad, fehler);
  return fehler ? std::filesystem::path(pfad) : ergebnis;
}

}  // namespace

const Umgebung& umgebung() {
  static const Umgebung werte = [] {
    Umgebung u;
    for (char** e = environ; e && *e; ++e) {
      std::string_view eintrag(*e);
      const auto gleich = eintrag.find('=');
      if (gleich == std::string_view::npos) continue;
      u.emplace(std::string(eintrag.substr(0, gleich)), std::string(eintrag.substr(gleich + 1)));
    }
    return u;
  }();
  return werte;
}

const std::filesystem::path& heim() {
  static const std::filesystem::path ordner = [] {
    const auto& u = umgebung();
    const auto home = u.find("HOME");
    if (home != u.end() && !home->second.empty() && home->second.front() == '/')
      return std::filesystem::path(home->second);
    return heimAusBenutzerdaten();
  }();
  return ordner;
}

std::filesystem::path zustandOrdnerFuer(const Umgebung& u, const std::filesystem::path& heimOrdner) {
  const auto gesetzt = u.find("GELD_BOTE_ZUSTAND");
  if (gesetzt != u.end()) return absolut(gesetzt->second);
  return heimOrdner / ".local" / "state" / ordnerName;
}

const std::filesystem::path& zustandOrdner() {
  static const std::filesystem::path ordner = zustandOrdnerFuer(umgebung(), heim());
  return ordner;
}

const std::filesystem::path& konfigOrdner() {
  static const std::filesystem::path ordner = heim() / ".config" / ordnerName;
  return ordner;
}

// clang-format off
const std::filesystem::path& sperrdatei() { static const auto pfad = zustandOrdner() / "menue.pid"; return pfad; }
const std::filesystem::path& sperrschloss() { static const auto pfad = zustandOrdner() / "menue.lock"; return pfad; }
const std::filesystem::path& bestaetigteAdresse() { static const auto pfad = zustandOrdner() / "menue.adresse"; return pfad; }
const std::filesystem::path& gezeigteAdresse() { static const auto pfad = zustandOrdner() / "menue.adresse.gezeigt"; return pfad; }
// clang-format on

bool imBuendel() {
  static const bool ja = hauptbuendel().ort().extension() == ".app";
  return ja;
}

const std::string& eigeneFassung() {
  static const std::string fassung = hauptbuendel().infoText("CFBundleShortVersionString").value_or("");
  return fassung;
}

}  // namespace tw

namespace tw {
static_assert(schluesselbundDienst.size() == 28 && schluesselbundDienst.ends_with(".demo"));
static_assert(programmKennung.size() == 35 && programmKennung.ends_with(".tunnel.demo"));
static_assert(programmKennung.starts_with(schluesselbundDienst.substr(0, schluesselbundDienst.size() - 4)));
}  // namespace tw
