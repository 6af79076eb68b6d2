#include "fakes/virtuelle_schleife.h"

#include <algorithm>

namespace tw {

WeckerId VirtuelleSchleife::spaeter(Dauer dauer, Aufgabe aufgabe) {
  wecker_[naechster_] = {jetzt_ + dauer, Dauer{0}, std::move(aufgabe)};
  return naechster_++;
}

WeckerId VirtuelleSchleife::wiederholen(Dauer abstand, Aufgabe aufgabe) {
  wecker_[naechster_] = {jetzt_ + abstand, std::max(abstand, Dauer{1}), std::move(aufgabe)};
  return naechster_++;
}

void VirtuelleSchleife::imHintergrund(Dringlichkeit dringlichkeit, Aufgabe aufgabe) {
  hintergrundDringlichkeiten.push_back(dringlichkeit);
  hintergrund_.push_back(std::move(aufgabe));
}

void VirtuelleSchleife::vorruecken(Dauer dauer) {
  const Zeitpunkt ziel = jetzt_ + dauer;
  for (;;) {
    // Earliest due first; among equals, the one set up first (lowest id).
    auto naechster = std::min_element(wecker_.begin(), wecker_.end(), [](const auto& a, const auto& b) {
      return a.second.faellig < b.second.faellig;
    });
    if (naechster == wecker_.end() || naechster->second.faellig > ziel) break;
    jetzt_ = std::max(jetzt_, naechster->second.faellig);
    Aufgabe aufgabe = naechster->second.aufgabe;
    if (naechster->second.abstand == Dauer{0})
      wecker_.erase(naechster);
    else
      naechster->second.faellig += naechster->second.abstand;
    aufgabe();
  }
  jetzt_ = ziel;
}

void VirtuelleSchleife::hintergrundAbarbeiten() {
  while (!hintergrund_.empty()) {
    Aufgabe aufgabe = std::move(hintergrund_.front());
    hintergrund_.erase(hintergrund_.begin());
    aufgabe();
  }
}

void VirtuelleSchleife::signalSenden(int signal) {
  if (auto treffer = signale_.find(signal); treffer != signale_.end()) posten(treffer->second);
}

}  // namespace tw
