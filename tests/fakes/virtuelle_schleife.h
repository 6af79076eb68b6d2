#pragma once
// Ereignisschleife on virtual time: nothing runs until the test says so.

#include <map>
#include <vector>

#include "platform/ereignisschleife.h"

namespace tw {

class VirtuelleSchleife final : public Ereignisschleife {
 public:
  Zeitpunkt jetzt() const override { return jetzt_; }
  void schlafen(Dauer dauer) override { jetzt_ += dauer; }
  void posten(Aufgabe aufgabe) override { spaeter(Dauer{0}, std::move(aufgabe)); }
  WeckerId spaeter(Dauer dauer, Aufgabe aufgabe) override;
  WeckerId wiederholen(Dauer abstand, Aufgabe aufgabe) override;
  void abbrechen(WeckerId wecker) override { wecker_.erase(wecker); }
  void imHintergrund(Dringlichkeit dringlichkeit, Aufgabe aufgabe) override;
  void beiSignal(int signal, Aufgabe aufgabe) override { signale_[signal] = std::move(aufgabe); }

  // Moves time forward, running every main-loop task that falls due, in order.
  void vorruecken(Dauer dauer);
  // Runs the queued background tasks (and those they queue) on this thread.
  void hintergrundAbarbeiten();
  // Posts the task registered for the signal.
  void signalSenden(int signal);

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
  std::map<int, Aufgabe> signale_;
};

}  // namespace tw
