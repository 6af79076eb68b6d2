#pragma once
// The vault picture (a safe with feet, door, hinges, dial and handle) as a
// list of shapes, so any painter can draw it at any size without a file.

#include <vector>

namespace tw {

struct Farbe {
  double rot, gruen, blau;
  bool operator==(const Farbe&) const = default;
};

inline constexpr Farbe dunkel{0.24, 0.28, 0.33};
inline constexpr Farbe hell{0.45, 0.50, 0.56};
inline constexpr Farbe gold{0.85, 0.68, 0.30};

struct Form {
  enum class Art { rechteck, oval, linie };
  Art art;
  Farbe farbe;
  // Origin bottom left, y upwards. Rectangles and ovals fill the box
  // (x, y, breite, hoehe); a line is stroked from (x, y) to (x + breite, y + hoehe).
  double x, y, breite, hoehe;
  double radius = 0;        // corner radius of a rectangle
  double linienbreite = 0;  // lines only; their caps are round

  bool operator==(const Form&) const = default;
};

// The shapes in painting order, later ones over earlier ones, for a square
// picture of `groesse` points.
std::vector<Form> tresorBild(double groesse = 64);

}  // namespace tw
