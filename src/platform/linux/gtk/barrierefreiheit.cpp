#include "platform/linux/gtk/barrierefreiheit.h"

#include <atk-bridge.h>
#include <gio/gio.h>

#include <string>

#include "app/protokoll.h"

namespace tw {
namespace {

constexpr const char* busName = "org.a11y.Bus";
constexpr const char* busPfad = "/org/a11y/bus";
constexpr const char* statusName = "org.a11y.Status";
constexpr const char* eigenschaften = "org.freedesktop.DBus.Properties";

enum class Stand { aus, an, unbekannt };

GDBusConnection* sitzung = nullptr;
bool zurueckgehalten = false;  // NO_AT_BRIDGE is ours, for gtk_init only
guint aenderungen = 0;         // the status's PropertiesChanged
guint neuerBus = 0;            // the accessibility bus coming up

// Either property on is enough: some desktops set only the screen reader's.
bool eingeschaltet(GVariant* werte) {
  gboolean an = FALSE, leser = FALSE;
  g_variant_lookup(werte, "IsEnabled", "b", &an);
  g_variant_lookup(werte, "ScreenReaderEnabled", "b", &leser);
  return an || leser;
}

// Without an accessibility bus no assistive technology can be listening.
// Any other doubt keeps GTK's own behaviour, so that nobody loses access.
Stand stand(GVariant* antwort, GError* fehler) {
  if (!antwort) {
    const bool keinBus = g_error_matches(fehler, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                         g_error_matches(fehler, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
    if (!keinBus) protokollieren(std::string("Barrierefreiheit: Stand unklar — ") + fehler->message);
    g_error_free(fehler);
    return keinBus ? Stand::aus : Stand::unbekannt;
  }
  GVariant* werte = g_variant_get_child_value(antwort, 0);
  const Stand ergebnis = eingeschaltet(werte) ? Stand::an : Stand::aus;
  g_variant_unref(werte);
  g_variant_unref(antwort);
  return ergebnis;
}

void beobachtungBeenden() {
  if (aenderungen) g_dbus_connection_signal_unsubscribe(sitzung, aenderungen);
  if (neuerBus) g_dbus_connection_signal_unsubscribe(sitzung, neuerBus);
  aenderungen = neuerBus = 0;
}

void brueckeLaden() {
  if (!aenderungen) return;  // loaded already
  // Windows already open are found through the bridge's root; their events follow from now on.
  if (atk_bridge_adaptor_init(nullptr, nullptr) != 0) {
    protokollieren("Barrierefreiheit: die Brücke ließ sich nicht laden");
    return;
  }
  protokollieren("Barrierefreiheit eingeschaltet — die Brücke ist geladen");
  beobachtungBeenden();
}

void geaendert(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* werte,
               gpointer) {
  if (!g_variant_is_of_type(werte, G_VARIANT_TYPE("(sa{sv}as)"))) return;
  GVariant* neu = g_variant_get_child_value(werte, 1);
  if (eingeschaltet(neu)) brueckeLaden();
  g_variant_unref(neu);
}

// A screen reader that starts later may bring the bus up, already switched on.
void busGewechselt(GDBusConnection* verbindung, const char*, const char*, const char*, const char*,
                   GVariant* werte, gpointer) {
  const char* besitzer = "";
  if (g_variant_is_of_type(werte, G_VARIANT_TYPE("(sss)")))
    g_variant_get(werte, "(&s&s&s)", nullptr, nullptr, &besitzer);
  if (!*besitzer) return;
  g_dbus_connection_call(
      verbindung, busName, busPfad, eigenschaften, "GetAll", g_variant_new("(s)", statusName),
      G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr,
      +[](GObject* quelle, GAsyncResult* ergebnis, gpointer) {
        GError* fehler = nullptr;
        GVariant* antwort = g_dbus_connection_call_finish(G_DBUS_CONNECTION(quelle), ergebnis, &fehler);
        if (stand(antwort, fehler) == Stand::an) brueckeLaden();
      },
      nullptr);
}

}  // namespace

void barrierefreiheitVorGtk() {
  // A person's own choice stands: NO_AT_BRIDGE as GTK reads it, GTK_A11Y=none as
  // no bridge at all, and any other GTK_A11Y as GTK's own behaviour.
  const char* gtk = g_getenv("GTK_A11Y");
  if (g_getenv("NO_AT_BRIDGE") || (gtk && g_strcmp0(gtk, "none") != 0)) return;
  if (!gtk) {
    sitzung = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!sitzung) return;  // GTK finds no accessibility bus either
    // Watched before asking, so that no change slips between answer and watch.
    aenderungen =
        g_dbus_connection_signal_subscribe(sitzung, busName, eigenschaften, "PropertiesChanged", busPfad,
                                           statusName, G_DBUS_SIGNAL_FLAGS_NONE, geaendert, nullptr, nullptr);
    neuerBus = g_dbus_connection_signal_subscribe(sitzung, "org.freedesktop.DBus", "org.freedesktop.DBus",
                                                  "NameOwnerChanged", "/org/freedesktop/DBus", busName,
                                                  G_DBUS_SIGNAL_FLAGS_NONE, busGewechselt, nullptr, nullptr);
    // Never started just to be asked: an accessibility bus that is not there says no.
    GError* fehler = nullptr;
    GVariant* antwort = g_dbus_connection_call_sync(
        sitzung, busName, busPfad, eigenschaften, "GetAll", g_variant_new("(s)", statusName),
        G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, nullptr, &fehler);
    if (stand(antwort, fehler) != Stand::aus) return beobachtungBeenden();
  }
  g_setenv("NO_AT_BRIDGE", "1", TRUE);
  zurueckgehalten = true;
}

void barrierefreiheitNachGtk() {
  // The start script, the server, the browser and WebKit's processes decide for themselves.
  if (zurueckgehalten) g_unsetenv("NO_AT_BRIDGE");
  zurueckgehalten = false;
}

}  // namespace tw
