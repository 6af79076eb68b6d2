#pragma once
// Runs a start script with /bin/bash, its standard streams on the null
// device, in the program's own environment and working directory.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// How long `warten` waits at most; a script still running then is logged and
// left to run on.
inline constexpr std::chrono::seconds laengstesWarten{5};

// Nothing when the script was launched (and, with `warten`, has ended or
// outlived laengstesWarten; its exit status does not matter); otherwise why
// the launch failed.
std::optional<std::string> bashStarten(const std::filesystem::path& skript,
                                       const std::vector<std::string>& argumente, bool warten);

}  // namespace tw
