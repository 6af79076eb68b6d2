#pragma once
// The names desktops look the app up by, the same as the installed launcher
// taler-wacht.desktop: the Wayland app id and the X11 window class (its
// StartupWMClass), so that the app is "Taler Wacht" in panels and notices.

#include <gdk/gdk.h>

namespace tw {

inline constexpr const char* anwendungsKennung = "taler-wacht";

// Before gtk_init, so that GDK takes the class from here.
inline void anwendungBenennen() {
  g_set_prgname(anwendungsKennung);
  g_set_application_name("Taler Wacht");
  gdk_set_program_class(anwendungsKennung);
}

}  // namespace tw
