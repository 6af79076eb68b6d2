#pragma once
// What the host records for a check: the menu as text and the whole screen as PNG.

#include <string>

namespace tw::leiste {

// Both return an empty string on success, otherwise why they failed.
std::string textSchreiben(const std::string& datei, const std::string& text);
std::string bildschirmSpeichern(const std::string& datei);

}  // namespace tw::leiste
