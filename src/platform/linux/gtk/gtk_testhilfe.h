#pragma once
// For tests of the GTK parts: GTK on the test's display, a session bus of
// the program's own (eigenerBus), and the main context run dry.

#include <gtk/gtk.h>
#include <stdlib.h>

#include <string>

#include "helfer/eigener_bus.h"

namespace tw {

// GTK is set up on first use, not while the cases are listed.
inline bool gtkBereit() {
  // Without the accessibility bridge, which would start a bus of its own.
  static const bool bereit = (g_setenv("NO_AT_BRIDGE", "1", TRUE), gtk_init_check(nullptr, nullptr));
  return bereit;
}

// Dispatches everything that is ready now, such as posted clicks.
inline void abarbeiten() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

}  // namespace tw
