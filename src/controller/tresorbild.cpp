#include "controller/tresorbild.h"

namespace tw {

std::vector<Form> tresorBild(double groesse) {
  // Drawn on a 64-unit grid.
  const double u = groesse / 64;
  const auto rechteck = [u](Farbe f, double x, double y, double b, double h, double r) {
    return Form{Form::Art::rechteck, f, x * u, y * u, b * u, h * u, r * u, 0};
  };
  const auto oval = [u](Farbe f, double x, double y, double b, double h) {
    return Form{Form::Art::oval, f, x * u, y * u, b * u, h * u, 0, 0};
  };
  return {
      rechteck(dunkel, 12, 2, 10, 6, 0),                                 // left foot
      rechteck(dunkel, 42, 2, 10, 6, 0),                                 // right foot
      rechteck(dunkel, 6, 6, 52, 54, 6),                                 // body
      rechteck(hell, 12, 12, 40, 42, 3),                                 // door
      rechteck(dunkel, 12, 18, 4, 8, 1),                                 // lower hinge
      rechteck(dunkel, 12, 40, 4, 8, 1),                                 // upper hinge
      oval(gold, 25, 24, 18, 18),                                        // dial ring
      oval(dunkel, 29, 28, 10, 10),                                      // dial centre
      Form{Form::Art::linie, gold, 34 * u, 33 * u, 0, 6 * u, 0, 2 * u},  // dial pointer
      rechteck(gold, 46, 26, 3, 14, 1.5),                                // handle
  };
}

}  // namespace tw
