#pragma once
// For tests of the GTK parts: GTK on the test's display, a session bus of
// the program's own, and the main context run dry.

#include <gtk/gtk.h>
#include <stdlib.h>

#include <string>

#include "helfer/kindprozess.h"

namespace tw {

// GTK is set up on first use, not while the cases are listed.
inline bool gtkBereit() {
  // Without the accessibility bridge, which would start a bus of its own.
  static const bool bereit = (g_setenv("NO_AT_BRIDGE", "1", TRUE), gtk_init_check(nullptr, nullptr));
  return bereit;
}

// Tray tests start and stop watchers, which tests running beside them on
// the shared session bus must not see. Call before anything uses the bus.
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

// Dispatches everything that is ready now, such as posted clicks.
inline void abarbeiten() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

}  // namespace tw
