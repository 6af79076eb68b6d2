#pragma once
// A session bus of the test program's own, for tests that start and stop
// tray watchers, which tests running beside them on the shared bus must not see.

#include <stdlib.h>

#include <string>

#include "helfer/kindprozess.h"

namespace tw {

// Points DBUS_SESSION_BUS_ADDRESS at a private dbus-daemon that lives as long
// as the test program. Call before anything uses the bus.
inline void eigenerBus() {
  static Kindprozess daemon{{{"/usr/bin/env", "dbus-daemon", "--session", "--nofork", "--print-address=1"}}};
  static const bool gesetzt = [] {
    std::string adresse;
    bisZu(std::chrono::seconds(10), [&] { return (adresse = daemon.ausgabe()).ends_with('\n'); });
    adresse.pop_back();
    return ::setenv("DBUS_SESSION_BUS_ADDRESS", adresse.c_str(), 1) == 0;
  }();
  (void)gesetzt;
}

}  // namespace tw
