#pragma once
// Ereignisschleife on virtual time: nothing runs until the test says so.

#include <algorithm>
#include <map>
#include <vector>

#include "platform/ereignisschleife.h"

namespace tw {

class VirtuelleSchleife final : public Ereignisschleife {
 public:
  Zeitpunkt jetzt() const override { return jetzt_; }
  void schlafen(Dauer dauer) override { jetzt_ += dauer; }
  void posten(Aufgabe aufgabe) override { spaeter(Dauer{0}, std::move(aufgabe)); }
  WeckerId spaeter(Dauer dauer, Aufgabe aufgabe) override {
    wecker_[naechster_] = {jetzt_ + dauer, Dauer{0}, std::move(aufgabe)};
    return naechster_++;
  }
  WeckerId wiederholen(Dauer abstand, Aufgabe aufgabe) override {
    wecker_[naechster_] = {jetzt_ + abstand, std::max(abstand, Dauer{1}), std::move(aufgabe)};
    return naechster_++;
  }
  void abbrechen(WeckerId wecker) override { wecker_.erase(wecker); }
  void imHintergrund(Dringlichkeit dringlichkeit, Aufgabe aufgabe) override {
    hintergrundDringlichkeiten.push_back(dringlichkeit);
    hintergrund_.push_back(std::move(aufgabe));
  }
  void beiSignal(int, Aufgabe) override {}

  // Moves time forward, running every main-loop task that falls due, in order.
  void vorruecken(Dauer dauer) {
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
  // Runs the queued background tasks (and those they queue) on this thread.
  void hintergrundAbarbeiten() {
    while (!hintergrund_.empty()) {
      Aufgabe aufgabe = std::move(hintergrund_.front());
      hintergrund_.erase(hintergrund_.begin());
      aufgabe();
    }
  }

  std::vector<Dringlichkeit> hintergrundDringlichkeiten;  // every background task, as queued

 private:
  struct Wecker {
    Zeitpunkt faellig;
    Dauer abstand;  // zero: once
    Aufgabe aufgabe;
  };
  Zeitpunkt jetzt_{};
  WeckerId naechster_ = 1;
  std::map<WeckerId, Wecker> wecker_;
  std::vector<Aufgabe> hintergrund_;
};

}  // namespace tw
