#pragma once
// Seam: the main loop, timers, background work and signals.
// Linux: GlibSchleife (GLib main loop plus a small worker pool).
// Tests: VirtuelleSchleife, where the test moves time forward.

#include <chrono>
#include <cstdint>
#include <functional>

namespace tw {

using Dauer = std::chrono::milliseconds;
using Zeitpunkt = std::chrono::steady_clock::time_point;

struct Uhr {
  virtual ~Uhr() = default;
  virtual Zeitpunkt jetzt() const = 0;
  // Blocks the calling thread; only for the start, before the loop runs.
  virtual void schlafen(Dauer dauer) = 0;
};

// How urgent background work is: what the user waits for goes first.
enum class Dringlichkeit { nutzer, hilfsarbeit };

using Aufgabe = std::function<void()>;
using WeckerId = std::uint64_t;

struct Ereignisschleife : Uhr {
  // Runs the task on the main loop, soon. Safe from any thread.
  virtual void posten(Aufgabe aufgabe) = 0;
  // Main thread only: runs the task on the main loop once, after `dauer`.
  virtual WeckerId spaeter(Dauer dauer, Aufgabe aufgabe) = 0;
  // Main thread only: runs the task on the main loop every `abstand`.
  virtual WeckerId wiederholen(Dauer abstand, Aufgabe aufgabe) = 0;
  // Main thread only: a pending or repeating timer does not fire any more.
  virtual void abbrechen(WeckerId wecker) = 0;
  // Runs the task on a background thread; it must not touch main-loop state.
  virtual void imHintergrund(Dringlichkeit dringlichkeit, Aufgabe aufgabe) = 0;
  // Main thread only: runs the task on the main loop whenever the signal arrives.
  virtual void beiSignal(int signal, Aufgabe aufgabe) = 0;
};

}  // namespace tw
