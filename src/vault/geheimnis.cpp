#include "vault/geheimnis.h"

#include <string.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "app/text.h"

namespace tw {
namespace {

void freigeben(char* daten, std::size_t platz) {
  if (!daten) return;
  ::explicit_bzero(daten, platz);
  delete[] daten;
}

}  // namespace

Geheimnis::Geheimnis(Geheimnis&& anderes) noexcept
    : daten_(anderes.daten_), laenge_(anderes.laenge_), platz_(anderes.platz_) {
  anderes.daten_ = nullptr;
  anderes.laenge_ = anderes.platz_ = 0;
}

Geheimnis& Geheimnis::operator=(Geheimnis&& anderes) noexcept {
  if (this != &anderes) {
    leeren();
    std::swap(daten_, anderes.daten_);
    std::swap(laenge_, anderes.laenge_);
    std::swap(platz_, anderes.platz_);
  }
  return *this;
}

void Geheimnis::reservieren(std::size_t groesse) {
  if (groesse + 1 <= platz_) return;
  // Grow by copying into a new block and wiping the old one.
  const std::size_t neuPlatz = std::max<std::size_t>(groesse + 1, std::max<std::size_t>(64, platz_ * 2));
  char* neu = new char[neuPlatz]();
  if (daten_) std::memcpy(neu, daten_, laenge_);
  freigeben(daten_, platz_);
  daten_ = neu;
  platz_ = neuPlatz;
}

void Geheimnis::anhaengen(std::string_view text) {
  if (text.empty()) return;
  reservieren(laenge_ + text.size());
  std::memcpy(daten_ + laenge_, text.data(), text.size());
  laenge_ += text.size();
  daten_[laenge_] = '\0';
}

void Geheimnis::leeren() {
  freigeben(daten_, platz_);
  daten_ = nullptr;
  laenge_ = platz_ = 0;
}

void formKodiertAnhaengen(Geheimnis& ziel, std::string_view wert) {
  ziel.reservieren(ziel.size() + 3 * wert.size());
  prozentKodiertAnhaengen(wert, unreserviert, [&ziel](std::string_view stueck) { ziel.anhaengen(stueck); });
}

}  // namespace tw
