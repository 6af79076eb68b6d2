#pragma once
// The program's one logging call: one line per event, no levels.

#include <string_view>

#include "platform/protokoll.h"

namespace tw {

// Writes "Taler Wacht: " + nachricht to the installed sink.
void protokollieren(std::string_view nachricht);

// Installs the sink for the whole process and returns the previous one.
// Without a sink, lines go to stderr.
Protokoll* protokollEinsetzen(Protokoll* neu);

}  // namespace tw
