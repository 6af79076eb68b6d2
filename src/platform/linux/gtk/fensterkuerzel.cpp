#include "platform/linux/gtk/fensterkuerzel.h"

namespace tw {
namespace {

gboolean schliessen(GtkAccelGroup*, GObject* fenster, guint, GdkModifierType, gpointer) {
  gtk_window_close(GTK_WINDOW(fenster));
  return TRUE;
}

}  // namespace

void strgWSchliesst(GtkWindow* fenster) {
  // An accel group rather than a key handler: GTK then also finds the key on
  // layouts where W is not on the first level.
  GtkAccelGroup* gruppe = gtk_accel_group_new();
  gtk_accel_group_connect(gruppe, GDK_KEY_w, GDK_CONTROL_MASK, GtkAccelFlags{},
                          g_cclosure_new(G_CALLBACK(schliessen), nullptr, nullptr));
  gtk_window_add_accel_group(fenster, gruppe);
  g_object_unref(gruppe);
}

}  // namespace tw
