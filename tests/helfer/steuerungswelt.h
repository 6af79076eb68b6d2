#pragma once
// A controller on virtual time with every seam recorded: the snapshots it
// collects, the scripts it would run, the processes it would signal and its log.

#include <sys/types.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "controller/steuerung.h"
#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"
#include "fakes/virtuelle_schleife.h"
#include "helfer/temp_ordner.h"

namespace tw {

inline const Skriptfund buendel{.skript = "/b.app/Contents/Resources/starten"};

// A snapshot of a running program for ChatGPT & Co. in the given vault state.
inline Zustand laufend(std::string tresor, pid_t pid = 4242) {
  Zustand z;
  z.programmLaeuft = true;
  z.programmPid = pid;
  z.tresor = std::move(tresor);
  return z;
}

struct Steuerungswelt {
  Steuerungswelt() {
    dienste.zustandOrdner = ordner / "zustand";
    dienste.konfigOrdner = ordner / "konfig";
    std::filesystem::create_directories(dienste.konfigOrdner);
    dienste.eigenePid = 777;
    dienste.sammeln = [this] { return naechste(schnappschuesse, Zustand{}); };
    dienste.skriptSuchen = [this] { return fund; };
    dienste.vertrauenswuerdig = [this](const std::filesystem::path&) { return vertrauen; };
    dienste.bashStarten = [this](const std::filesystem::path&, const std::vector<std::string>& a, bool w) {
      std::string aufruf;
      for (const auto& x : a) aufruf += (aufruf.empty() ? "" : " ") + x;
      skripte.push_back(aufruf + (w ? " wartet" : ""));
      return std::optional<std::string>{};
    };
    dienste.unserenBeenden = [this](pid_t pid) { beendet.push_back(pid); };
    dienste.aufraeumen = [] {};
  }

  // Builds the controller (once) and runs its launch.
  Steuerung& starten() {
    if (!steuerung) {
      steuerung = std::make_unique<Steuerung>(
          Oberflaeche{schleife, anzeige, dialoge, ablage, anwendung, schluesselbund, besitzer, web, browser},
          dienste);
      steuerung->applicationDidFinishLaunching();
    }
    return *steuerung;
  }
  // One refresh that collects `z`: the launch's own collection may still be
  // waiting, otherwise the timer's next one runs; then the snapshot comes back.
  void runde(Zustand z) {
    schnappschuesse.push_back(std::move(z));
    if (!starten().sammeltGerade()) schleife.vorruecken(std::chrono::seconds(3));
    schleife.hintergrundAbarbeiten();
    schleife.vorruecken(Dauer{0});
  }
  // Runs posted tasks and background jobs until nothing is left.
  void ablaufen() {
    for (int i = 0; i < 5; ++i) {
      schleife.vorruecken(Dauer{0});
      schleife.hintergrundAbarbeiten();
    }
  }
  // What went out so far, as "key=value" parts joined by " | ": scripts run,
  // processes signalled, alerts shown, log lines and quit requests.
  std::string bericht() const {
    std::vector<std::string> teile;
    for (const auto& s : skripte) teile.push_back("skript " + s);
    for (const pid_t p : beendet) teile.push_back("beendet " + std::to_string(p));
    for (const auto& h : dialoge.hinweise) teile.push_back("hinweis " + h.nachricht);
    for (const auto& z : protokoll.zeilen()) teile.push_back("protokoll " + z.substr(z.find(": ") + 2));
    if (anwendung.anfragen) teile.push_back("ende " + std::to_string(anwendung.anfragen));
    std::string b;
    for (const auto& t : teile) b += (b.empty() ? "" : " | ") + t;
    return b;
  }

  ProtokollMitschnitt protokoll;  // first: it outlives the controller
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
  std::vector<std::string> skripte;  // each run: its arguments, and " wartet" when it waits
  std::vector<pid_t> beendet;
  std::unique_ptr<Steuerung> steuerung;
};

}  // namespace tw
