#pragma once
// One run of the stand-in: bind, leave its files, serve until SIGTERM or
// SIGINT, and take its files away again.

#include "aufruf.h"

namespace tw {

// The process exit status: 0 after a signal, 1 when the server could not
// start. Call before any other thread exists: it blocks the stop signals.
int dienstAusfuehren(const Aufruf& aufruf);

}  // namespace tw
