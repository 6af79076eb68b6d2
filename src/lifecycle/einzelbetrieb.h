#pragma once
// Exactly one menu app per user. A copy started from its bundle takes over
// from the running one; a bare executable gives way to it.

#include <sys/types.h>

#include <filesystem>

#include "platform/ereignisschleife.h"

namespace tw {

struct Einzelbetrieb {
  std::filesystem::path zustandOrdner;
  std::filesystem::path sperrschloss;  // held locked while the copy runs
  std::filesystem::path sperrdatei;    // names the copy that holds the lock
  bool imBuendel = false;
  pid_t eigenePid = 0;
};

enum class Einzelentscheid {
  weiter,        // this copy holds the lock and has written the pid file
  ungeschuetzt,  // the lock file cannot be opened: run without the guard
  aufgeben,      // another copy keeps running: end this one
};

struct Einzelergebnis {
  Einzelentscheid entscheid;
  int griff;  // the lock file's descriptor, or -1; keeping it open keeps the lock
};

// Takes the single-instance lock, asking the copy named in the pid file to
// leave when this copy comes from a bundle (8 tries, 0.25 s apart).
Einzelergebnis einzigBleibenVersuchen(const Einzelbetrieb& betrieb, Uhr& uhr);

// Removes the pid file if it names `eigenePid`.
void aufraeumen(const std::filesystem::path& sperrdatei, pid_t eigenePid);

// The process's own versions of the two above. einzigBleiben() ends the
// process with status 0 when another copy keeps running; the lock stays held
// in `sperrgriff` until the process ends.
void einzigBleiben(Uhr& uhr);
void aufraeumen();
extern int sperrgriff;

}  // namespace tw
