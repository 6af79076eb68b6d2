#include "aufnahme.h"

#include <gtk/gtk.h>

#include <fstream>

namespace tw::leiste {

std::string textSchreiben(const std::string& datei, const std::string& text) {
  std::ofstream aus(datei, std::ios::binary | std::ios::trunc);
  aus << text;
  aus.close();
  return aus ? "" : "Kann „" + datei + "“ nicht schreiben.";
}

std::string bildschirmSpeichern(const std::string& datei) {
  // Everything drawn so far must have reached the server before it is read back.
  gdk_display_sync(gdk_display_get_default());
  GdkWindow* wurzel = gdk_get_default_root_window();
  GdkPixbuf* bild =
      gdk_pixbuf_get_from_window(wurzel, 0, 0, gdk_window_get_width(wurzel), gdk_window_get_height(wurzel));
  if (!bild) return "Kann den Bildschirm nicht lesen.";
  GError* f = nullptr;
  const bool gespeichert = gdk_pixbuf_save(bild, datei.c_str(), "png", &f, nullptr);
  g_object_unref(bild);
  if (gespeichert) return "";
  std::string fehler = "Kann „" + datei + "“ nicht speichern: " + f->message;
  g_error_free(f);
  return fehler;
}

}  // namespace tw::leiste
