#pragma once
// Seam: the user's default browser. Linux: GioBrowser (the desktop's handler
// for the address's scheme). Tests: a recorder.

#include <string>

namespace tw {

struct Browser {
  virtual ~Browser() = default;
  // Main thread only. Opens the address outside the app; false (and a log
  // line) when no program took it.
  virtual bool oeffnen(const std::string& adresse) = 0;
};

}  // namespace tw
