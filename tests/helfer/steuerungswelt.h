#pragma once
// A controller on virtual time with every seam recorded: the snapshots it
// collects, the scripts it would run and the processes it would signal.

#include <sys/types.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "controller/steuerung.h"
#include "fakes/oberflaeche.h"
#include "fakes/virtuelle_schleife.h"
#include "helfer/temp_ordner.h"

namespace tw {

struct Skriptaufruf {
  std::filesystem::path skript;
  std::vector<std::string> argumente;
  bool warten;
};

class Steuerungswelt {
 public:
  Steuerungswelt();

  // Builds the controller (once) and runs its launch.
  Steuerung& starten();
  // One refresh that collects `z`: the pending collection or the timer's
  // next one runs, and the snapshot comes back.
  void runde(Zustand z);

  TempOrdner ordner;
  VirtuelleSchleife schleife;
  AnzeigeMitschnitt anzeige;
  DialogeNachPlan dialoge;
  AblageMitschnitt ablage;
  AnwendungMitschnitt anwendung;
  SchluesselbundAttrappe schluesselbund;
  BesitzerNachPlan besitzer{schleife};
  WebfensterMitschnitt web;
  BrowserMitschnitt browser;
  Steuerungsdienste dienste;

  std::deque<Zustand> schnappschuesse;  // what the next collections return
  Skriptfund fund;
  bool vertrauen = true;
  std::vector<Skriptaufruf> skripte;
  std::vector<pid_t> beendet;
  int aufgeraeumt = 0;
  std::unique_ptr<Steuerung> steuerung;
};

// A snapshot of a running program for ChatGPT & Co. in the given vault state.
Zustand laufend(std::string tresor, pid_t pid = 4242);

}  // namespace tw
