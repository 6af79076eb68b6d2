#pragma once
// The stand-in's log: one line per event on stderr.

#include <string_view>

namespace tw {

// Writes "geld-bote: " + nachricht as one line to stderr.
void melden(std::string_view nachricht);

}  // namespace tw
