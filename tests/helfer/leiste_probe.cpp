// leiste_probe <folder>: a tray item for the tests, through
// libayatana-appindicator as the menu app shows one. Its icon is written to
// <folder>; clicking "Zählen" prints "geklickt" and changes that row and the label.

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

AppIndicator* anzeiger = nullptr;
int klicks = 0;

// fontconfig keeps its caches to the end of the process; LeakSanitizer need not report them.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

void gezaehlt(GtkMenuItem* zeile, gpointer) {
  std::printf("geklickt\n");
  std::fflush(stdout);
  const std::string titel = "Gezählt: " + std::to_string(++klicks);
  gtk_menu_item_set_label(zeile, titel.c_str());
  app_indicator_set_label(anzeiger, titel.c_str(), "");
}

// Prints "bereit" once its item answers on the bus. A watcher that appears
// after that gets its registration for sure (see below).
void nachfragen(GDBusConnection* bus) {
  g_dbus_connection_call(
      bus, g_dbus_connection_get_unique_name(bus), "/org/ayatana/NotificationItem/tw_leiste_probe",
      "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Id"),
      nullptr, G_DBUS_CALL_FLAGS_NONE, 1000, nullptr,
      +[](GObject* quelle, GAsyncResult* ergebnis, gpointer) {
        GVariant* antwort = g_dbus_connection_call_finish(G_DBUS_CONNECTION(quelle), ergebnis, nullptr);
        if (!antwort) {
          g_timeout_add(
              20,
              +[](gpointer b) -> gboolean {
                nachfragen(G_DBUS_CONNECTION(b));
                return G_SOURCE_REMOVE;
              },
              quelle);
          return;
        }
        g_variant_unref(antwort);
        std::printf("bereit\n");
        std::fflush(stdout);
      },
      nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  // A busy Xvfb turns a connection away now and then.
  for (int versuch = 0; !gtk_init_check(nullptr, nullptr); ++versuch) {
    if (versuch == 50) {
      std::fprintf(stderr, "leiste_probe: Kein Bildschirm.\n");
      return 1;
    }
    g_usleep(100'000);
  }
  GdkPixbuf* bild = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 22, 22);
  gdk_pixbuf_fill(bild, 0x2070c0ff);
  gdk_pixbuf_save(bild, (std::string(argv[1]) + "/tw-probe.png").c_str(), "png", nullptr, nullptr);
  g_object_unref(bild);

  GtkWidget* menue = gtk_menu_new();
  const auto zeile = [&](GtkWidget* w) {
    gtk_widget_show(w);
    gtk_menu_shell_append(GTK_MENU_SHELL(menue), w);
    return w;
  };
  gtk_widget_set_sensitive(zeile(gtk_menu_item_new_with_label("Stand: bereit")), FALSE);
  zeile(gtk_separator_menu_item_new());
  GtkWidget* haken = zeile(gtk_check_menu_item_new_with_mnemonic("_Automatisch starten"));
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(haken), TRUE);
  g_signal_connect(zeile(gtk_menu_item_new_with_mnemonic("_Zählen")), "activate", G_CALLBACK(gezaehlt),
                   nullptr);

  anzeiger = app_indicator_new_with_path("tw-leiste-probe", "tw-probe",
                                         APP_INDICATOR_CATEGORY_APPLICATION_STATUS, argv[1]);
  // No XEmbed icon while there is no watcher: the library's own one reads past the
  // end of the icon search path when the item has an icon folder.
  APP_INDICATOR_GET_CLASS(anzeiger)->fallback = nullptr;
  app_indicator_set_status(anzeiger, APP_INDICATOR_STATUS_ACTIVE);
  app_indicator_set_label(anzeiger, "Probe bereit", "");
  app_indicator_set_menu(anzeiger, GTK_MENU(menue));
  g_unix_signal_add(
      SIGTERM,
      +[](gpointer) -> gboolean {
        gtk_main_quit();
        return G_SOURCE_REMOVE;
      },
      nullptr);
  // libayatana-appindicator 0.5.90 may look for a watcher that is already there
  // before it has its own bus connection, and then never registers. With the
  // watcher started after "bereit", it always does.
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus) nachfragen(bus);
  gtk_main();
  if (bus) g_object_unref(bus);
  return 0;
}
