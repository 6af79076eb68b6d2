#include "platform/linux/gtk/cairo_tresorbild.h"

#include <gdk/gdk.h>

#include <algorithm>
#include <numbers>

#include "controller/tresorbild.h"

namespace tw {
namespace {

constexpr double pi = std::numbers::pi;

void abgerundet(cairo_t* cr, double x, double y, double b, double h, double r) {
  r = std::clamp(r, 0.0, std::min(b, h) / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + b - r, y + r, r, -pi / 2, 0);
  cairo_arc(cr, x + b - r, y + h - r, r, 0, pi / 2);
  cairo_arc(cr, x + r, y + h - r, r, pi / 2, pi);
  cairo_arc(cr, x + r, y + r, r, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

void oval(cairo_t* cr, double x, double y, double b, double h) {
  if (b <= 0 || h <= 0) return;  // a zero scale would break the matrix
  cairo_save(cr);
  cairo_translate(cr, x + b / 2, y + h / 2);
  cairo_scale(cr, b / 2, h / 2);
  cairo_arc(cr, 0, 0, 1, 0, 2 * pi);
  cairo_restore(cr);
}

}  // namespace

void tresorMalen(cairo_t* cr, double groesse) {
  cairo_save(cr);
  for (const Form& f : tresorBild(groesse)) {
    cairo_set_source_rgb(cr, f.farbe.rot, f.farbe.gruen, f.farbe.blau);
    // The shapes count y upwards from the bottom, cairo downwards from the top.
    const double oben = groesse - f.y - f.hoehe;
    switch (f.art) {
      case Form::Art::rechteck:
        abgerundet(cr, f.x, oben, f.breite, f.hoehe, f.radius);
        cairo_fill(cr);
        break;
      case Form::Art::oval:
        oval(cr, f.x, oben, f.breite, f.hoehe);
        cairo_fill(cr);
        break;
      case Form::Art::linie:
        cairo_set_line_width(cr, f.linienbreite);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, f.x, groesse - f.y);
        cairo_line_to(cr, f.x + f.breite, groesse - f.y - f.hoehe);
        cairo_stroke(cr);
        break;
    }
  }
  cairo_restore(cr);
}

cairo_surface_t* tresorFlaeche(int pixel) {
  cairo_surface_t* flaeche = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixel, pixel);
  cairo_t* cr = cairo_create(flaeche);
  tresorMalen(cr, pixel);
  cairo_destroy(cr);
  cairo_surface_flush(flaeche);
  return flaeche;
}

GdkPixbuf* tresorPixbuf(int pixel) {
  cairo_surface_t* flaeche = tresorFlaeche(pixel);
  GdkPixbuf* bild = gdk_pixbuf_get_from_surface(flaeche, 0, 0, pixel, pixel);
  cairo_surface_destroy(flaeche);
  return bild;
}

}  // namespace tw
