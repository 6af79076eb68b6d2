#pragma once
// A desktop notification service of the test's own on its session bus: keeps
// the buttons of what it shows and presses them as a user would.

#include <gio/gio.h>

#include <map>
#include <string>
#include <vector>

namespace tw {

struct Mitteilungsdienst {
  std::map<guint32, std::vector<std::string>> offen;  // shown and not withdrawn: id, buttons (key, label …)
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  guint objekt = 0, name = 0;
  guint32 naechste = 1;

  Mitteilungsdienst() {
    static GDBusNodeInfo* knoten = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.freedesktop.Notifications'><method name='Notify'><arg type='s'/>"
        "<arg type='u'/><arg type='s'/><arg type='s'/><arg type='s'/><arg type='as'/><arg type='a{sv}'/>"
        "<arg type='i'/><arg type='u' direction='out'/></method>"
        "<method name='CloseNotification'><arg type='u'/></method></interface></node>",
        nullptr);
    static const GDBusInterfaceVTable tabelle{rufen, nullptr, nullptr, {}};
    objekt = g_dbus_connection_register_object(bus, "/org/freedesktop/Notifications", knoten->interfaces[0],
                                               &tabelle, this, nullptr, nullptr);
    name = g_bus_own_name_on_connection(bus, "org.freedesktop.Notifications", G_BUS_NAME_OWNER_FLAGS_NONE,
                                        nullptr, nullptr, nullptr, nullptr);
  }
  ~Mitteilungsdienst() {
    g_bus_unown_name(name);
    g_dbus_connection_unregister_object(bus, objekt);
    g_object_unref(bus);
  }

  bool einzige() const { return offen.size() == 1; }
  // Presses the button with this label on the one notification shown.
  bool druecken(const std::string& titel) {
    if (!einzige()) return false;
    const auto& [id, knoepfe] = *offen.begin();
    for (std::size_t i = 1; i < knoepfe.size(); i += 2)
      if (knoepfe[i] == titel)
        return g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/Notifications",
                                             "org.freedesktop.Notifications", "ActionInvoked",
                                             g_variant_new("(us)", id, knoepfe[i - 1].c_str()), nullptr);
    return false;
  }

  static void rufen(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* methode,
                    GVariant* p, GDBusMethodInvocation* aufruf, gpointer daten) {
    auto* d = static_cast<Mitteilungsdienst*>(daten);
    guint32 id = 0;
    if (g_str_equal(methode, "CloseNotification")) {
      g_variant_get(p, "(u)", &id);
      d->offen.erase(id);
      return g_dbus_method_invocation_return_value(aufruf, nullptr);
    }
    g_autofree gchar** knoepfe = nullptr;  // the strings stay in `p`
    g_variant_get(p, "(&su&s&s&s^a&s@a{sv}i)", nullptr, &id, nullptr, nullptr, nullptr, &knoepfe, nullptr,
                  nullptr);
    if (!d->offen.contains(id)) id = d->naechste++;
    d->offen[id].assign(knoepfe, knoepfe + g_strv_length(knoepfe));
    g_dbus_method_invocation_return_value(aufruf, g_variant_new("(u)", id));
  }
};

}  // namespace tw
