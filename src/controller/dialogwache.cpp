#include "controller/dialogwache.h"

namespace tw {
namespace {

// Shows one dialog through `fragen` when none is open; an answer given after
// the app started to quit is no answer.
template <class Antwort, class Fragen>
Antwort bewacht(bool frei, int& offen, const bool& geschlossen, Fragen fragen) {
  if (!frei) return Antwort{.knopf = keinKnopf};
  ++offen;
  Antwort antwort = fragen();
  --offen;
  if (geschlossen) return Antwort{.knopf = keinKnopf};
  return antwort;
}

}  // namespace

bool Dialogwache::frei() {
  if (geschlossen_) return false;
  if (offen_ == 0) return true;
  innen_.nachVorne();
  return false;
}

Wahl Dialogwache::zeigen(const Hinweis& hinweis) {
  return bewacht<Wahl>(frei(), offen_, geschlossen_, [&] { return innen_.zeigen(hinweis); });
}

Eingabe Dialogwache::passphraseFragen(const Hinweis& hinweis) {
  return bewacht<Eingabe>(frei(), offen_, geschlossen_, [&] { return innen_.passphraseFragen(hinweis); });
}

void Dialogwache::alleSchliessen() {
  geschlossen_ = true;
  innen_.alleSchliessen();
}

}  // namespace tw
