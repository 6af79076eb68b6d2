#include "platform/linux/gtk/gtk_zwischenablage.h"

#include <gtk/gtk.h>

#include <limits>

#include "app/protokoll.h"

namespace tw {

void GtkZwischenablage::setzen(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<gint>::max())) {
    protokollieren("Text zu lang für die Zwischenablage");
    return;
  }
  // GTK expects UTF-8; anything else is repaired rather than refused.
  gchar* gueltig = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  GtkClipboard* ablage = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gtk_clipboard_set_text(ablage, gueltig, -1);
  g_free(gueltig);
  gtk_clipboard_set_can_store(ablage, nullptr, 0);
  // Without a clipboard manager this returns at once.
  gtk_clipboard_store(ablage);
}

}  // namespace tw
