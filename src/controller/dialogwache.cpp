#include "controller/dialogwache.h"

namespace tw {

bool Dialogwache::frei() {
  if (geschlossen_) return false;
  if (offen_ == 0) return true;
  innen_.nachVorne();
  return false;
}

Wahl Dialogwache::zeigen(const Hinweis& hinweis) {
  if (!frei()) return Wahl{.knopf = keinKnopf};
  ++offen_;
  Wahl wahl = innen_.zeigen(hinweis);
  --offen_;
  if (geschlossen_) return Wahl{.knopf = keinKnopf};
  return wahl;
}

Eingabe Dialogwache::passphraseFragen(const Hinweis& hinweis) {
  if (!frei()) return Eingabe{.knopf = keinKnopf};
  ++offen_;
  Eingabe eingabe = innen_.passphraseFragen(hinweis);
  --offen_;
  if (geschlossen_) return Eingabe{.knopf = keinKnopf};
  return eingabe;
}

void Dialogwache::alleSchliessen() {
  geschlossen_ = true;
  innen_.alleSchliessen();
}

}  // namespace tw
