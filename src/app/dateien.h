#pragma once
// Small text files shared with the server, and the app's own private markers.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// The file's UTF-8 text without surrounding whitespace and line ends; nothing
// when the file is missing, unreadable, not a regular file, larger than
// `groessteLesbareDatei` or not valid UTF-8.
std::optional<std::string> lesen(const std::filesystem::path& datei);

// The file's bytes as they are; nothing when it is missing, unreadable, not a
// regular file or larger than `hoechstens`. Never blocks on a FIFO.
std::optional<std::string> rohLesen(const std::filesystem::path& datei, std::size_t hoechstens);

// Writes `text` so that only the user may read it (0600). Missing folders are
// not created and every failure is silent; the old file then stays as it was.
void schreibenPrivat(std::string_view text, const std::filesystem::path& datei);

// Creates the folder and any missing parents, each new one with permissions
// 0700. Existing folders keep their permissions. Errors are ignored.
void privatenOrdnerAnlegen(const std::filesystem::path& ordner);

// The files this program reads are a few bytes; anything bigger is not ours.
inline constexpr std::size_t groessteLesbareDatei = 1 << 20;

}  // namespace tw
