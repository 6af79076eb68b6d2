#pragma once
// GTK's accessibility bridge, loaded only while the desktop says assistive
// technology is on. Loaded, it costs CPU time for every change to the menu
// whenever the desktop's accessibility bus runs, even with nobody listening.

namespace tw {

// Before gtk_init: asks the desktop (without starting its accessibility bus),
// holds GTK's bridge back when nothing is on, and from then on loads it as
// soon as the desktop turns assistive technology on. A person's own
// NO_AT_BRIDGE or GTK_A11Y stands as it is.
void barrierefreiheitVorGtk();

// Right after gtk_init: gives child processes their environment back.
void barrierefreiheitNachGtk();

}  // namespace tw
