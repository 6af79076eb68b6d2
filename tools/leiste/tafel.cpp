#include "tafel.h"

namespace tw::leiste {
namespace {

constexpr int symbolgroesse = 22;

// By file name, in the item's own icon folder, then in the icon theme.
GdkPixbuf* symbolLaden(const std::string& name, const std::string& ordner) {
  if (name.empty()) return nullptr;
  if (name.starts_with('/'))
    return gdk_pixbuf_new_from_file_at_size(name.c_str(), symbolgroesse, symbolgroesse, nullptr);
  const auto flags = GTK_ICON_LOOKUP_FORCE_SIZE;
  if (!ordner.empty()) {
    GtkIconTheme* eigenes = gtk_icon_theme_new();
    const gchar* pfade[] = {ordner.c_str()};
    gtk_icon_theme_set_search_path(eigenes, pfade, 1);
    GdkPixbuf* bild = gtk_icon_theme_load_icon(eigenes, name.c_str(), symbolgroesse, flags, nullptr);
    g_object_unref(eigenes);
    if (bild) return bild;
  }
  return gtk_icon_theme_load_icon(gtk_icon_theme_get_default(), name.c_str(), symbolgroesse, flags, nullptr);
}

}  // namespace

Tafel::Tafel()
    : fenster_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      bild_(gtk_image_new_from_icon_name("image-missing", GTK_ICON_SIZE_LARGE_TOOLBAR)),
      text_(gtk_label_new("")) {
  gtk_window_set_decorated(GTK_WINDOW(fenster_), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(fenster_), GDK_WINDOW_TYPE_HINT_DOCK);
  gtk_window_set_keep_above(GTK_WINDOW(fenster_), TRUE);
  gtk_window_set_title(GTK_WINDOW(fenster_), "Taler Wacht Leiste");
  GtkWidget* reihe = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_container_set_border_width(GTK_CONTAINER(reihe), 4);
  gtk_box_pack_start(GTK_BOX(reihe), bild_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(reihe), text_, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(fenster_), reihe);
  gtk_widget_add_events(fenster_, GDK_BUTTON_PRESS_MASK);
  g_signal_connect(fenster_, "size-allocate", G_CALLBACK(rechtsObenHalten), nullptr);
  g_signal_connect(fenster_, "button-press-event", G_CALLBACK(gedrueckt), this);
  gtk_widget_show_all(fenster_);
}

Tafel::~Tafel() { gtk_widget_destroy(fenster_); }

void Tafel::zeigen(const Eintragsdaten& daten) {
  gtk_label_set_text(GTK_LABEL(text_), daten.beschriftung.c_str());
  gtk_widget_set_tooltip_text(fenster_, daten.titel.c_str());
  if (daten.symbol + '\n' + daten.symbolOrdner == symbol_) return;
  symbol_ = daten.symbol + '\n' + daten.symbolOrdner;
  if (GdkPixbuf* bild = symbolLaden(daten.symbol, daten.symbolOrdner)) {
    gtk_image_set_from_pixbuf(GTK_IMAGE(bild_), bild);
    g_object_unref(bild);
  } else {
    gtk_image_set_from_icon_name(GTK_IMAGE(bild_), "image-missing", GTK_ICON_SIZE_LARGE_TOOLBAR);
  }
}

// Without a window manager nothing else places the window, so it follows its own size.
void Tafel::rechtsObenHalten(GtkWidget* fenster, GdkRectangle* groesse, gpointer) {
  const int breite = gdk_window_get_width(gdk_get_default_root_window());
  int x = 0, y = 0;
  gtk_window_get_position(GTK_WINDOW(fenster), &x, &y);
  if (x != breite - groesse->width || y != 0)
    gtk_window_move(GTK_WINDOW(fenster), breite - groesse->width, 0);
}

gboolean Tafel::gedrueckt(GtkWidget*, GdkEvent* ereignis, gpointer daten) {
  auto* tafel = static_cast<Tafel*>(daten);
  if (tafel->klick_) tafel->klick_(ereignis);
  return TRUE;
}

}  // namespace tw::leiste
