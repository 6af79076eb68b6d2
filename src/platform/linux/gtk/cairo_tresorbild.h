#pragma once
// The vault picture painted with cairo, for dialog and window icons.

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

namespace tw {

// Paints the picture into the square (0, 0, groesse, groesse) of `cr`.
void tresorMalen(cairo_t* cr, double groesse);

// A new transparent image of `pixel` square with the picture on it; the
// caller frees it with cairo_surface_destroy.
cairo_surface_t* tresorFlaeche(int pixel);

// The same as a pixbuf; the caller releases it with g_object_unref.
GdkPixbuf* tresorPixbuf(int pixel);

}  // namespace tw
