#pragma once
// Whether the desktop has a tray that shows our icon: a StatusNotifierWatcher
// on the session bus with a StatusNotifierHost registered.

namespace tw {

enum class Leiste { da, fehlt, unklar };

// Asks the session bus, waiting at most about a second. When the tray icon
// cannot appear, logs one line that says why and what helps.
Leiste leistePruefen();

}  // namespace tw
