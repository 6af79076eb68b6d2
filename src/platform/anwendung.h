#pragma once
// Seam: the application as a whole. Linux: the GTK program's main loop.

namespace tw {

struct Anwendung {
  virtual ~Anwendung() = default;
  // Main thread only. Ends the app in order: soon, from the main loop, after
  // the controller has tidied up.
  virtual void beendenAnfragen() = 0;
};

}  // namespace tw
