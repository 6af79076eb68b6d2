#include "controller/dialogwache.h"

namespace tw {

bool Dialogwache::frei() {
  if (geschlossen_) return false;
  if (offen_ == 0) return true;
  innen_.nachVorne();
  return false;
}

Wahl Dialogwache::zeigen(const Hinweis& hinweis) {
  return bewacht<Wahl>([&] { return innen_.zeigen(hinweis); });
}

Eingabe Dialogwache::passphraseFragen(const Hinweis& hinweis) {
  return bewacht<Eingabe>([&] { return innen_.passphraseFragen(hinweis); });
}

void Dialogwache::alleSchliessen() {
  geschlossen_ = true;
  innen_.alleSchliessen();
}

}  // namespace tw
