#include "platform/linux/gtk/gio_browser.h"

#include <gtk/gtk.h>

#include "app/protokoll.h"
#include "status/url.h"

namespace tw {

bool GioBrowser::oeffnen(const std::string& adresse) {
  // The display's launch context passes on the startup notice, so that the
  // browser may take the focus.
  GdkDisplay* anzeige = gdk_display_get_default();
  GAppLaunchContext* kontext =
      anzeige ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(anzeige)) : nullptr;
  GError* fehler = nullptr;
  const bool geoeffnet = g_app_info_launch_default_for_uri(adresse.c_str(), kontext, &fehler);
  if (!geoeffnet) {
    protokollieren("Browser öffnet " + schemaUndHost(adresse) + " nicht: " + fehler->message);
    g_error_free(fehler);
  }
  if (kontext) g_object_unref(kontext);
  return geoeffnet;
}

}  // namespace tw
