#include "klappmenue.h"

#include <string>
#include <utility>

namespace tw::leiste {
namespace {

// If the menu cannot be shown (no grab, say), waiting for it ends after this.
constexpr guint zeichenFristMs = 5000;

GtkWidget* zeileBauen(const Zeile& z) {
  if (z.trenner) return gtk_separator_menu_item_new();
  GtkWidget* w = z.haken == Haken::keiner ? gtk_menu_item_new_with_label(z.titel.c_str())
                                          : gtk_check_menu_item_new_with_label(z.titel.c_str());
  // Set before "activate" is connected: GTK activates a check item whose state changes.
  if (z.haken != Haken::keiner) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), z.haken == Haken::an);
  gtk_widget_set_sensitive(w, z.aktiv);
  return w;
}

}  // namespace

Klappmenue::Klappmenue(std::function<void(std::int32_t)> klick)
    : menue_(gtk_menu_new()), klick_(std::move(klick)) {
  g_object_ref_sink(menue_);
  g_signal_connect_after(menue_, "draw", G_CALLBACK(gemalt), this);
}

Klappmenue::~Klappmenue() {
  if (wecker_) g_source_remove(wecker_);
  if (nachdem_) g_source_remove(nachdem_);
  g_signal_handlers_disconnect_by_data(menue_, this);
  gtk_widget_destroy(menue_);
  g_object_unref(menue_);
}

void Klappmenue::setzen(const std::vector<Zeile>& zeilen) {
  if (zeilen == zeilen_) return;
  zeilen_ = zeilen;
  gtk_container_foreach(
      GTK_CONTAINER(menue_), [](GtkWidget* w, gpointer) { gtk_widget_destroy(w); }, nullptr);
  for (const auto& z : zeilen_) {
    GtkWidget* w = zeileBauen(z);
    g_object_set_data(G_OBJECT(w), "tw-id", GINT_TO_POINTER(z.id));
    if (!z.trenner) g_signal_connect(w, "activate", G_CALLBACK(aktiviert), this);
    gtk_widget_set_visible(w, z.sichtbar);
    gtk_menu_shell_append(GTK_MENU_SHELL(menue_), w);
  }
}

void Klappmenue::aufklappen(GtkWidget* anker, const GdkEvent* ausloeser, std::function<void()> gezeichnet) {
  gezeichnet_ = std::move(gezeichnet);
  if (gezeichnet_ && !wecker_)
    wecker_ = g_timeout_add(
        zeichenFristMs,
        +[](gpointer daten) -> gboolean {
          auto* m = static_cast<Klappmenue*>(daten);
          m->wecker_ = 0;
          g_printerr("taler-wacht-leiste: Das Menü erschien nicht auf dem Bildschirm.\n");
          m->fertig();
          return G_SOURCE_REMOVE;
        },
        this);
  // GTK wants the event that opened the menu; a made-up press stands in when there is none.
  GdkEvent* ersatz = nullptr;
  if (!ausloeser && gtk_widget_get_window(anker)) {
    ersatz = gdk_event_new(GDK_BUTTON_PRESS);
    ersatz->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(anker)));
    ersatz->button.time = GDK_CURRENT_TIME;
    ersatz->button.button = 1;
    gdk_event_set_device(ersatz,
                         gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(anker))));
  }
  gtk_menu_popup_at_widget(GTK_MENU(menue_), anker, GDK_GRAVITY_SOUTH_EAST, GDK_GRAVITY_NORTH_EAST,
                           ausloeser ? ausloeser : ersatz);
  if (ersatz) gdk_event_free(ersatz);
}

void Klappmenue::aktiviert(GtkMenuItem* eintrag, gpointer daten) {
  static_cast<Klappmenue*>(daten)->klick_(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(eintrag), "tw-id")));
}

// Runs inside the menu's paint; the low-priority idle comes after the whole frame.
gboolean Klappmenue::gemalt(GtkWidget*, cairo_t*, gpointer daten) {
  auto* m = static_cast<Klappmenue*>(daten);
  if (m->gezeichnet_ && !m->nachdem_)
    m->nachdem_ = g_idle_add_full(
        G_PRIORITY_LOW,
        +[](gpointer d) -> gboolean {
          auto* menue = static_cast<Klappmenue*>(d);
          menue->nachdem_ = 0;
          menue->fertig();
          return G_SOURCE_REMOVE;
        },
        m, nullptr);
  return FALSE;
}

void Klappmenue::fertig() {
  if (wecker_) g_source_remove(wecker_);
  wecker_ = 0;
  if (auto gezeichnet = std::exchange(gezeichnet_, {})) gezeichnet();
}

}  // namespace tw::leiste
