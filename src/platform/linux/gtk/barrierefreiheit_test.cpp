// GTK's accessibility bridge follows the desktop's word, given by a stand-in on a
// private session bus that is the accessibility bus too. A fresh process per case.
#include "platform/linux/gtk/barrierefreiheit.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <thread>

#include "helfer/eigener_bus.h"
#include "test.h"

namespace tw {
namespace {

bool an;
const GDBusInterfaceVTable status{nullptr, [](auto...) { return g_variant_new_boolean(an); }, nullptr, {}};
const char* xml =
    "<node><interface name='org.a11y.Status'><property name='IsEnabled' type='b' access='read'/>"
    "</interface></node>";

// Exits with 1 when the bridge is loaded, 0 when not, plus 2 if NO_AT_BRIDGE stays for child processes.
int lauf(bool spaeter) {
  // The stand-in answers on a thread of its own: the app waits for it before GTK starts.
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GMainContext* kontext = g_main_context_new();
  g_main_context_push_thread_default(kontext);
  auto* schnittstelle = g_dbus_node_info_new_for_xml(xml, nullptr)->interfaces[0];
  g_dbus_connection_register_object(bus, "/org/a11y/bus", schnittstelle, &status, nullptr, nullptr, nullptr);
  for (auto* name : {"org.a11y.Bus", "org.a11y.atspi.Registry"})
    g_bus_own_name_on_connection(bus, name, {}, nullptr, nullptr, nullptr, nullptr);
  g_main_context_pop_thread_default(kontext);
  std::thread(g_main_loop_run, g_main_loop_new(kontext, FALSE)).detach();
  barrierefreiheitVorGtk();
  gtk_init(nullptr, nullptr);
  barrierefreiheitNachGtk();
  if (spaeter)
    g_dbus_connection_emit_signal(
        bus, nullptr, "/org/a11y/bus", "org.freedesktop.DBus.Properties", "PropertiesChanged",
        g_variant_new_parsed("('org.a11y.Status', {'IsEnabled': <true>}, @as [])"), nullptr);
  // The bridge, once up, gives plugs an address on the accessibility bus.
  return 2 * !!g_getenv("NO_AT_BRIDGE") + bisZu(spaeter ? 10s : 0s, [] {
           while (g_main_context_iteration(nullptr, FALSE)) continue;
           g_autofree gchar* id = atk_plug_get_id(ATK_PLUG(atk_plug_new()));
           return id != nullptr;
         });
}

TEST(Barrierefreiheit, BrueckeNurWennDerDesktopSieWill) {
  eigenerBus();
  g_setenv("AT_SPI_BUS_ADDRESS", g_getenv("DBUS_SESSION_BUS_ADDRESS"), TRUE);
  for (const auto& [anfangs, spaeter, geladen] : {std::tuple{0, 0, 0}, {1, 0, 1}, {0, 1, 1}}) {
    SCOPED_TRACE(testing::Message() << "an beim Start " << anfangs << ", später " << spaeter);
    an = anfangs;
    EXPECT_EXIT(_exit(lauf(spaeter)), testing::ExitedWithCode(geladen), "");
  }
}

}  // namespace
}  // namespace tw
