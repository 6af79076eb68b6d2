#pragma once
// Seam: the setup window and its web view. Linux: Fensterprogramm, which runs
// them in a window program of their own (GTK 3 and WebKitGTK 4.1). Tests: a
// recorder that calls the delegate directly.

#include <string>
#include <string_view>

#include "platform/ereignisschleife.h"

namespace tw {

// What the window reports. Every call comes on the main thread.
struct Webdelegat {
  virtual ~Webdelegat() = default;
  // Decides one navigation of the view, also one that asks for a new window.
  // `adresse` is the request's address as written, empty when it has none.
  // True lets it go ahead (a new window's page then loads in this view).
  virtual bool navigationErlauben(std::string_view adresse) = 0;
  // A page finished loading.
  virtual void geladen() = 0;
  // A page failed before any of it was shown.
  virtual void ladenFehlgeschlagen(std::string_view beschreibung) = 0;
  // The window is asked to close: its close button, Ctrl+W or schliessen().
  // True lets it close; the window is then hidden and kept.
  virtual bool sollSchliessen() = 0;
  // The window could not be shown, or went away without being closed; the
  // next load builds it anew.
  virtual void fensterAusgefallen() = 0;
};

struct Fensterbauplan {
  std::string titel;
  std::string benutzerAgent;  // sent with every request of the view
  std::string rahmenName;     // the name the window's frame is saved under
};

struct Webfenster {
  virtual ~Webfenster() = default;
  // Builds window and view; called once, before any other call.
  virtual void aufbauen(const Fensterbauplan& plan, Webdelegat& delegat) = 0;
  // Loads an address; the request gives up after `frist`.
  virtual void seiteLaden(const std::string& adresse, Dauer frist) = 0;
  // Loads a page text without a base address.
  virtual void htmlLaden(const std::string& html) = 0;
  // Activates the app and brings the window to the front with the focus.
  virtual void nachVorne() = 0;
  // Asks the window to close, as its close button would; the answer comes
  // through the delegate's sollSchliessen, later.
  virtual void schliessen() = 0;
  // The view's current address, empty when it has none.
  virtual std::string adresse() const = 0;
};

}  // namespace tw
