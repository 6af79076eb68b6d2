#pragma once
// The stand-in's few German web pages: plain HTML without outside resources.

#include <optional>
#include <string>
#include <string_view>

#include "tresor.h"

namespace tw {

// The overview at the page prefix: vault state, the setup form while there is
// no vault, and links to the other pages and the menu app's commands.
std::string uebersichtSeite(std::string_view praefix, std::string_view fassung, const Lage& lage);

// Where ChatGPT & Co. reach the program: its public address, if known.
std::string chatbotSeite(std::string_view praefix, const std::optional<std::string>& adresse);

// A one-line page, for addresses the menu app handles itself and for errors.
std::string kurzeSeite(std::string_view titel, std::string_view text);

}  // namespace tw
