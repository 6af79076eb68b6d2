#include "platform/linux/gtk/cairo_tresorbild.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "controller/tresorbild.h"

namespace tw {

// Spots well inside one shape at 64 and at 32 pixels, on the 64-unit grid
// with y upwards. The feet tell a picture upside down; the dial's centre and
// the handle tell a wrong painting order.
TEST(Tresorbild, FormenStehenAufrechtUndInDerRichtigenReihenfolge) {
  const struct {
    const char* was;
    double x, y;
    std::optional<Farbe> farbe;  // none: transparent
  } proben[] = {
      {"linker Fuß", 17, 4, dunkel},
      {"zwischen den Füßen", 32, 4, {}},
      {"Tür", 20, 50, hell},
      {"Ring des Drehknopfs", 27, 33, gold},
      {"Mitte des Drehknopfs", 33, 31, dunkel},
      {"Griff", 47, 33, gold},
      {"Ecke unten links", 0.5, 0.5, {}},
      {"Ecke oben rechts", 63.5, 63.5, {}},
  };
  for (const int groesse : {64, 32}) {
    cairo_surface_t* bild = tresorFlaeche(groesse);
    for (const auto& p : proben) {
      SCOPED_TRACE(testing::Message() << p.was << " bei " << groesse << " px");
      const auto spalte = static_cast<int>(p.x * groesse / 64),
                 zeile = static_cast<int>((64 - p.y) * groesse / 64);
      std::uint32_t wert;  // premultiplied ARGB in native byte order
      std::memcpy(
          &wert,
          cairo_image_surface_get_data(bild) + zeile * cairo_image_surface_get_stride(bild) + 4 * spalte, 4);
      EXPECT_EQ(wert >> 24, p.farbe ? 255u : 0u);
      if (!p.farbe) continue;
      EXPECT_NEAR((wert >> 16) & 255, std::lround(p.farbe->rot * 255), 2);
      EXPECT_NEAR((wert >> 8) & 255, std::lround(p.farbe->gruen * 255), 2);
      EXPECT_NEAR(wert & 255, std::lround(p.farbe->blau * 255), 2);
    }
    cairo_surface_destroy(bild);
  }
  GdkPixbuf* symbol = tresorPixbuf(64);
  ASSERT_NE(symbol, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(symbol), 64);
  g_object_unref(symbol);
}

}  // namespace tw
