#pragma once
// Fixed values of the program and the location of every file it reads or
// writes. Each location is computed once on first use, from any thread.

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace tw {

inline constexpr std::string_view FASSUNG = "1.7.2_demo";
inline constexpr std::string_view ordnerName = "geld-bote-demo";
inline constexpr std::string_view vorgabePort = "8858";
inline constexpr std::string_view teamKennung = "K7Q2M8X4RB";
inline constexpr std::string_view schluesselbundDienst = "de.talerwacht.geld-bote.demo";
inline constexpr std::string_view programmKennung = "de.talerwacht.geld-bote.tunnel.demo";
inline constexpr std::string_view schluesselbundKonto = "tresor-passphrase";
inline constexpr std::string_view webAdresse = "https://talerwacht.de";
inline constexpr std::int32_t errSecMissingEntitlement = -34018;

// Names that mark an executable path or an interpreter's arguments as ours.
inline constexpr std::array<std::string_view, 4> eigeneNamen = {"TalerWacht", "geld-bote", "geld_bote",
                                                                "Taler Wacht"};
inline constexpr std::array<std::string_view, 5> interpreter = {"bash", "sh", "zsh", "python3", "python"};
inline constexpr std::array<std::string_view, 3> loopbackHosts = {"127.0.0.1", "localhost", "::1"};
inline constexpr std::array<std::string_view, 1> zuruecksetzenArgumente = {"--zuruecksetzen"};

using Umgebung = std::map<std::string, std::string, std::less<>>;

// The process environment as it was at first use.
const Umgebung& umgebung();
// $HOME, or the user's home folder from the user database when it is unset.
const std::filesystem::path& heim();
// The server's state folder: "GELD_BOTE_ZUSTAND" when set (even empty),
// otherwise ~/.local/state/geld-bote-demo.
const std::filesystem::path& zustandOrdner();
// The server's configuration folder, ~/.config/geld-bote-demo.
const std::filesystem::path& konfigOrdner();
const std::filesystem::path& sperrdatei();          // menue.pid
const std::filesystem::path& sperrschloss();        // menue.lock
const std::filesystem::path& bestaetigteAdresse();  // menue.adresse
const std::filesystem::path& gezeigteAdresse();     // menue.adresse.gezeigt
// Whether the program runs from an application bundle.
bool imBuendel();
// The bundle's version label, or empty.
const std::string& eigeneFassung();

// Where the state folder lies for a given environment and home folder.
std::filesystem::path zustandOrdnerFuer(const Umgebung& umgebung, const std::filesystem::path& heim);

}  // namespace tw
