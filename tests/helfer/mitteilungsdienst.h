#pragma once
// A desktop notification service of the test's own on its session bus: keeps
// what it was asked to show and presses buttons as a user would.

#include <gio/gio.h>

#include <map>
#include <string>
#include <vector>

namespace tw {

struct Mitteilungsdienst {
  struct Gezeigt {
    std::string ueberschrift, text;
    std::vector<std::string> knoepfe;  // key, label, key, label …
  };
  std::map<guint32, Gezeigt> offen;  // shown and not withdrawn, by id
  int gezeigt = 0;                   // Notify calls
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  guint objekt = 0, name = 0;
  guint32 naechste = 1;

  Mitteilungsdienst() {
    static GDBusNodeInfo* knoten = g_dbus_node_info_new_for_xml(R"(<node>
      <interface name="org.freedesktop.Notifications">
        <method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
          <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
          <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/></method>
        <method name="CloseNotification"><arg type="u" direction="in"/></method>
      </interface></node>)",
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

  // The one notification shown, or nullptr.
  const Gezeigt* einzige() const { return offen.size() == 1 ? &offen.begin()->second : nullptr; }
  // Presses the button with this label, or with the key "default" the notification itself.
  bool druecken(const std::string& titel) {
    if (offen.size() != 1) return false;
    const auto& [id, m] = *offen.begin();
    for (std::size_t i = 0; i + 1 < m.knoepfe.size(); i += 2)
      if (m.knoepfe[i + 1] == titel || (titel == "default" && m.knoepfe[i] == "default"))
        return g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/Notifications",
                                             "org.freedesktop.Notifications", "ActionInvoked",
                                             g_variant_new("(us)", id, m.knoepfe[i].c_str()), nullptr);
    return false;
  }
  // The user closes it.
  void wegklicken() {
    for (const auto& [id, m] : offen)
      g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/Notifications",
                                    "org.freedesktop.Notifications", "NotificationClosed",
                                    g_variant_new("(uu)", id, 2u), nullptr);
    offen.clear();
  }

  static void rufen(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* methode,
                    GVariant* p, GDBusMethodInvocation* aufruf, gpointer daten) {
    auto* d = static_cast<Mitteilungsdienst*>(daten);
    if (g_str_equal(methode, "CloseNotification")) {
      guint32 id = 0;
      g_variant_get(p, "(u)", &id);
      d->offen.erase(id);
      g_dbus_method_invocation_return_value(aufruf, nullptr);
      return;
    }
    guint32 ersetzt = 0;
    const gchar *ueberschrift = nullptr, *text = nullptr;
    GVariantIter* knoepfe = nullptr;
    g_variant_get(p, "(&su&s&s&sas@a{sv}i)", nullptr, &ersetzt, nullptr, &ueberschrift, &text, &knoepfe,
                  nullptr, nullptr);
    Gezeigt m{ueberschrift, text, {}};
    for (const gchar* k = nullptr; g_variant_iter_next(knoepfe, "&s", &k);) m.knoepfe.push_back(k);
    g_variant_iter_free(knoepfe);
    const guint32 id = d->offen.contains(ersetzt) ? ersetzt : d->naechste++;
    d->offen[id] = m;
    ++d->gezeigt;
    g_dbus_method_invocation_return_value(aufruf, g_variant_new("(u)", id));
  }
};

}  // namespace tw
