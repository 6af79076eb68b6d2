// taler-wacht-boden: the floor for the idle figures. An otherwise empty tray
// icon that sets the text of its five-row menu every 3 s, as any status menu
// on GTK does; it costs what GTK and the tray library cost, nothing more.

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <array>
#include <string>

namespace {

std::array<GtkWidget*, 5> zeilen{};
unsigned takt = 0;

gboolean auffrischen(gpointer) {
  ++takt;
  for (std::size_t i = 0; i < zeilen.size(); ++i) {
    // The first row changes every time, like a status line with a clock.
    const std::string text = "Zeile " + std::to_string(i + 1) + (i == 0 ? " · " + std::to_string(takt) : "");
    gtk_menu_item_set_label(GTK_MENU_ITEM(zeilen[i]), text.c_str());
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GtkWidget* menue = gtk_menu_new();
  for (GtkWidget*& zeile : zeilen) {
    zeile = gtk_menu_item_new_with_label("");
    gtk_menu_shell_append(GTK_MENU_SHELL(menue), zeile);
  }
  gtk_widget_show_all(menue);
  auffrischen(nullptr);
  AppIndicator* symbol =
      app_indicator_new("taler-wacht-boden", "dialog-information", APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  app_indicator_set_menu(symbol, GTK_MENU(menue));
  app_indicator_set_status(symbol, APP_INDICATOR_STATUS_ACTIVE);
  g_timeout_add_seconds(3, auffrischen, nullptr);
  gtk_main();
  return 0;
}
