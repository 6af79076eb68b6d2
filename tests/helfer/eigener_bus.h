#pragma once
// A session bus of the test program's own, for tests that start and stop tray watchers or
// keyrings, which tests running beside them on the shared bus must not see.

#include <stdlib.h>

#include <optional>
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

// A gnome-keyring daemon on that bus with an unlocked keyring kept in `ort`; true once it serves.
inline bool eigenerSchluesselbund(std::optional<Kindprozess>& daemon, const std::string& ort) {
  eigenerBus();
  dateiSchreiben(ort + "/passwort", "testwort");
  daemon.emplace(Start{.argumente = {"/bin/sh", "-c",
                                     "exec gnome-keyring-daemon --foreground --unlock --components=secrets "
                                     "<\"$XDG_DATA_HOME/passwort\""},
                       .umgebung = {{"XDG_DATA_HOME", ort}, {"XDG_RUNTIME_DIR", ort}}});
  Kindprozess warten(
      {{"/usr/bin/env", "gdbus", "wait", "--session", "--timeout", "10", "org.freedesktop.secrets"}});
  return endeteMit(warten.warten(std::chrono::seconds(15)), 0);
}

}  // namespace tw
