#include "lifecycle/einzelbetrieb.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "app/dateien.h"
#include "app/konstanten.h"
#include "app/lebensende.h"
#include "app/text.h"
#include "lifecycle/prozesse.h"

namespace tw {

int sperrgriff = -1;

namespace {

constexpr int hoechsterVersuch = 7;
constexpr Dauer warteschritt{250};

bool sperren(int griff) {
  int ergebnis;
  do ergebnis = ::flock(griff, LOCK_EX | LOCK_NB);
  while (ergebnis != 0 && errno == EINTR);
  return ergebnis == 0;
}

std::optional<pid_t> pidLesen(const std::filesystem::path& sperrdatei) {
  const auto text = lesen(sperrdatei);
  if (!text) return std::nullopt;
  return ganzzahl32(*text);
}

}  // namespace

Einzelergebnis einzigBleibenVersuchen(const Einzelbetrieb& betrieb, Uhr& uhr) {
  // A folder that exists keeps its mode: the variable may name a shared one ("/tmp", or "/" as the
  // working folder of an empty value), and narrowing it would lock other users out.
  struct stat st {};
  if (::stat(betrieb.zustandOrdner.c_str(), &st) != 0) privatenOrdnerAnlegen(betrieb.zustandOrdner);

  const int griff = ::open(betrieb.sperrschloss.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (griff < 0) return {Einzelentscheid::ungeschuetzt, -1};

  bool gesperrt = sperren(griff);
  for (int versuch = 0; !gesperrt; ++versuch) {
    if (!betrieb.imBuendel || versuch > hoechsterVersuch) {
      ::close(griff);
      return {Einzelentscheid::aufgeben, -1};
    }
    const auto alter = pidLesen(betrieb.sperrdatei);
    if (alter && *alter > 0 && *alter != betrieb.eigenePid) {
      if (prozessIstUnser(*alter))
        ::kill(*alter, SIGTERM);
      else
        nichtUnserMelden(*alter);
    }
    uhr.schlafen(warteschritt);
    gesperrt = sperren(griff);
  }
  schreibenPrivat(std::to_string(betrieb.eigenePid), betrieb.sperrdatei);
  return {Einzelentscheid::weiter, griff};
}

void aufraeumen(const std::filesystem::path& sperrdatei, pid_t eigenePid) {
  const auto pid = pidLesen(sperrdatei);
  if (pid && *pid == eigenePid) ::unlink(sperrdatei.c_str());
}

void einzigBleiben(Uhr& uhr) {
  const Einzelbetrieb betrieb{zustandOrdner(), sperrschloss(), sperrdatei(), imBuendel(), ::getpid()};
  const auto ergebnis = einzigBleibenVersuchen(betrieb, uhr);
  if (ergebnis.entscheid == Einzelentscheid::aufgeben) prozessBeenden(0);
  sperrgriff = ergebnis.griff;
}

void aufraeumen() { aufraeumen(sperrdatei(), ::getpid()); }

}  // namespace tw
