#include "tresor.h"

#include "app/dateien.h"
#include "melden.h"
#include "tresordatei.h"

namespace tw {
namespace {

bool vorhanden(const std::filesystem::path& datei) {
  std::error_code fehler;
  return std::filesystem::exists(datei, fehler);
}

// A vault file is a few hundred bytes.
constexpr std::size_t groessteTresorDatei = 4096;

}  // namespace

Tresor::Tresor(std::filesystem::path datei, std::int64_t minuten, std::chrono::milliseconds minutenlaenge)
    : datei_(std::move(datei)), minutenlaenge_(minutenlaenge), offenDauer_(minutenlaenge * minuten) {}

Lage Tresor::lageGesperrt() {
  if (!vorhanden(datei_)) {
    offenBis_.reset();
    return {Stand::leer};
  }
  const auto jetzt = Uhr::now();
  if (!offenBis_ || jetzt >= *offenBis_) {
    offenBis_.reset();
    return {Stand::zu};
  }
  const auto rest = *offenBis_ - jetzt;
  return {Stand::offen, (rest + minutenlaenge_ - Uhr::duration{1}) / minutenlaenge_};
}

Lage Tresor::lage() {
  std::lock_guard sperre(mutex_);
  return lageGesperrt();
}

Lage Tresor::sperren() {
  std::lock_guard sperre(mutex_);
  offenBis_.reset();
  return lageGesperrt();
}

void Tresor::oeffnen() {
  std::lock_guard sperre(mutex_);
  offenBis_ = Uhr::now() + offenDauer_;
}

Ergebnis Tresor::entsperren(std::string_view passphrase) {
  // The slow hash runs outside the lock so that state requests stay quick.
  const auto text = rohLesen(datei_, groessteTresorDatei);
  if (!text) {
    if (!vorhanden(datei_)) return Ergebnis::leer;
    melden("Tresor-Datei " + datei_.string() + " ist nicht lesbar");
    return Ergebnis::unlesbar;
  }
  const auto gespeichert = tresorDateiLesen(*text);
  if (!gespeichert) {
    melden("Tresor-Datei " + datei_.string() + " hat kein bekanntes Format; sie bleibt unverändert");
    return Ergebnis::unlesbar;
  }
  if (!passphrasePasst(*gespeichert, passphrase)) return Ergebnis::falsch;
  oeffnen();
  return Ergebnis::offen;
}

Ergebnis Tresor::einrichten(std::string_view passphrase) {
  std::lock_guard einer(einrichten_);
  if (vorhanden(datei_)) return Ergebnis::schonEingerichtet;
  const auto text = tresorDateiText(passphrase);
  if (!text) {
    melden("OpenSSL konnte den Passphrasen-Hash nicht bilden");
    return Ergebnis::fehlgeschlagen;
  }
  privatenOrdnerAnlegen(datei_.parent_path());
  schreibenPrivat(*text, datei_);
  if (rohLesen(datei_, groessteTresorDatei) != text) {
    melden("Tresor-Datei " + datei_.string() + " konnte nicht geschrieben werden");
    return Ergebnis::fehlgeschlagen;
  }
  oeffnen();
  return Ergebnis::offen;
}

}  // namespace tw
