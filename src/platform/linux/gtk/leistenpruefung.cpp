#include "platform/linux/gtk/leistenpruefung.h"

#include <gio/gio.h>

#include <string>

#include "app/protokoll.h"
#include "platform/leistenhinweis.h"

namespace tw {
namespace {

constexpr int frist_ms = 1000;

Leiste fehlt() {
  protokollieren(
      "Das Symbol in der Leiste kann nicht erscheinen: die Arbeitsfläche hat keine Leiste für "
      "Statussymbole (StatusNotifierHost). Abhilfe: die AppIndicator-Unterstützung der Arbeitsfläche "
      "einschalten, unter GNOME etwa die Erweiterung „" +
      std::string(gnomeErweiterung) + "“.");
  return Leiste::fehlt;
}

Leiste unklar(const std::string& grund) {
  protokollieren("Ob die Arbeitsfläche eine Leiste für Statussymbole hat, ließ sich nicht prüfen: " + grund);
  return Leiste::unklar;
}

Leiste auswerten(GVariant* antwort) {
  GVariant* wert = nullptr;
  g_variant_get(antwort, "(v)", &wert);
  const bool wahrheit = g_variant_is_of_type(wert, G_VARIANT_TYPE_BOOLEAN);
  const bool host = wahrheit && g_variant_get_boolean(wert);
  g_variant_unref(wert);
  if (!wahrheit) return unklar("IsStatusNotifierHostRegistered ist kein Wahrheitswert");
  return host ? Leiste::da : fehlt();
}

}  // namespace

Leiste leistePruefen() {
  GError* fehler = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &fehler);
  if (!bus) {
    const std::string grund = fehler->message;
    g_error_free(fehler);
    return unklar("kein Sitzungsbus (" + grund + ")");
  }
  // No auto-start: a watcher that is not running now would not show the icon in time either.
  GVariant* antwort = g_dbus_connection_call_sync(
      bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
      "Get", g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, frist_ms, nullptr, &fehler);
  g_object_unref(bus);
  if (antwort) {
    const Leiste leiste = auswerten(antwort);
    g_variant_unref(antwort);
    return leiste;
  }
  const bool keinWaechter = g_error_matches(fehler, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                            g_error_matches(fehler, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
  const std::string grund = fehler->message;
  g_error_free(fehler);
  return keinWaechter ? fehlt() : unklar(grund);
}

}  // namespace tw
