#include "beobachter.h"

#include <gio/gio.h>

#include <algorithm>

#include "dbus_ruf.h"

namespace tw::leiste {
namespace {

constexpr const char* schnittstelle = "org.kde.StatusNotifierWatcher";
constexpr const char* objektpfad = "/StatusNotifierWatcher";

constexpr const char* beschreibung = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>)";

// An item names either its object path (the service is then the caller) or
// a bus name, optionally followed by its path.
std::optional<Eintrag> eintragAus(const std::string& dienst, const char* absender) {
  Eintrag e;
  if (dienst.starts_with('/')) {
    e = {absender ? absender : "", dienst};
  } else {
    const auto strich = dienst.find('/');
    e = {dienst.substr(0, strich),
         strich == std::string::npos ? "/StatusNotifierItem" : dienst.substr(strich)};
  }
  if (!g_dbus_is_name(e.bus.c_str()) || !g_variant_is_object_path(e.pfad.c_str())) return std::nullopt;
  return e;
}

}  // namespace

// The GDBus callbacks, with access to the watcher's state.
struct Beobachter::Rufe {
  static void methode(GDBusConnection*, const gchar* absender, const gchar*, const gchar*, const gchar* name,
                      GVariant* parameter, GDBusMethodInvocation* aufruf, gpointer daten) {
    auto* b = static_cast<Beobachter*>(daten);
    const gchar* dienst = nullptr;
    g_variant_get(parameter, "(&s)", &dienst);
    if (g_str_equal(name, "RegisterStatusNotifierHost")) {
      g_dbus_method_invocation_return_value(aufruf, nullptr);
      b->melden("StatusNotifierHostRegistered", "");
      return;
    }
    const auto eintrag = eintragAus(dienst, absender);
    if (!eintrag) {
      g_dbus_method_invocation_return_error(aufruf, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                            "Kein Busname oder Objektpfad: %s", dienst);
      return;
    }
    g_dbus_method_invocation_return_value(aufruf, nullptr);
    b->aufnehmen(*eintrag);
  }

  static GVariant* eigenschaft(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                               GError**, gpointer daten) {
    // Always true: this watcher is itself the host that shows the items.
    if (g_str_equal(name, "IsStatusNotifierHostRegistered")) return g_variant_new_boolean(TRUE);
    if (g_str_equal(name, "ProtocolVersion")) return g_variant_new_int32(0);
    GVariantBuilder liste;
    g_variant_builder_init(&liste, G_VARIANT_TYPE_STRING_ARRAY);
    for (const auto& e : static_cast<Beobachter*>(daten)->eintraege_)
      g_variant_builder_add(&liste, "s", (e.bus + e.pfad).c_str());
    return g_variant_builder_end(&liste);
  }

  static void namenswechsel(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                            GVariant* parameter, gpointer daten) {
    const gchar *name = nullptr, *alt = nullptr, *neu = nullptr;
    if (!g_variant_is_of_type(parameter, G_VARIANT_TYPE("(sss)"))) return;
    g_variant_get(parameter, "(&s&s&s)", &name, &alt, &neu);
    if (*neu == '\0') static_cast<Beobachter*>(daten)->namensende(name);
  }
};

Beobachter::Beobachter() {
  GError* f = nullptr;
  bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &f);
  static GDBusNodeInfo* knoten = g_dbus_node_info_new_for_xml(beschreibung, nullptr);
  static const GDBusInterfaceVTable tabelle{Rufe::methode, Rufe::eigenschaft, nullptr, {}};
  if (bus_)
    objekt_ = g_dbus_connection_register_object(bus_, objektpfad, knoten->interfaces[0], &tabelle, this,
                                                nullptr, &f);
  if (!objekt_) {
    fehler_ = std::string("Kein Beobachter auf dem Sitzungsbus: ") + (f ? f->message : "?");
    g_clear_error(&f);
    return;
  }
  namenswache_ = g_dbus_connection_signal_subscribe(
      bus_, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged", "/org/freedesktop/DBus",
      nullptr, G_DBUS_SIGNAL_FLAGS_NONE, Rufe::namenswechsel, this, nullptr);
  // Asked for synchronously, so that the object is there as soon as the name is ours.
  const auto antwort =
      rufen("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", schnittstelle, 4u /* do not queue */), "(u)", fehler_);
  guint32 ergebnis = 0;
  if (antwort) g_variant_get(antwort.get(), "(u)", &ergebnis);
  besitzt_ = ergebnis == 1 || ergebnis == 4;  // became or already was the owner
  if (antwort && !besitzt_) fehler_ = "Ein anderes Programm ist schon der StatusNotifierWatcher.";
}

Beobachter::~Beobachter() {
  if (!bus_) return;
  if (besitzt_) {
    std::string egal;
    rufen("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName",
          g_variant_new("(s)", schnittstelle), "(u)", egal);
  }
  if (namenswache_) g_dbus_connection_signal_unsubscribe(bus_, namenswache_);
  if (objekt_) g_dbus_connection_unregister_object(bus_, objekt_);
  g_object_unref(bus_);
}

void Beobachter::aufnehmen(const Eintrag& eintrag) {
  // Items register again whenever a watcher appears; once is enough.
  if (std::ranges::find(eintraege_, eintrag) != eintraege_.end()) return;
  eintraege_.push_back(eintrag);
  melden("StatusNotifierItemRegistered", eintrag.bus + eintrag.pfad);
  if (rueckruf_) rueckruf_(eintrag);
}

void Beobachter::vergessen() {
  eintraege_.clear();
  melden("StatusNotifierHostRegistered", "");
}

void Beobachter::namensende(const std::string& bus) {
  std::erase_if(eintraege_, [&](const Eintrag& e) {
    if (e.bus == bus) melden("StatusNotifierItemUnregistered", e.bus + e.pfad);
    return e.bus == bus;
  });
}

void Beobachter::melden(const char* signal, const std::string& dienst) {
  g_dbus_connection_emit_signal(bus_, nullptr, objektpfad, schnittstelle, signal,
                                dienst.empty() ? nullptr : g_variant_new("(s)", dienst.c_str()), nullptr);
}

bool kontextLaufen(std::chrono::milliseconds frist, const std::function<bool()>& bedingung) {
  const auto ende = std::chrono::steady_clock::now() + frist;
  // A short tick wakes the loop, so that conditions outside GLib's sight are seen too.
  const guint tick = g_timeout_add(
      10, +[](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool erfuellt = false;
  while (!(erfuellt = bedingung()) && std::chrono::steady_clock::now() < ende)
    g_main_context_iteration(nullptr, TRUE);
  g_source_remove(tick);
  return erfuellt;
}

}  // namespace tw::leiste
