#pragma once
// Keyboard shortcuts every window of the app shares.

#include <gtk/gtk.h>

namespace tw {

// Ctrl+W closes the window as its close button would (a dialog answers
// GTK_RESPONSE_DELETE_EVENT).
void strgWSchliesst(GtkWindow* fenster);

}  // namespace tw
