#include "helfer/steuerungswelt.h"

namespace tw {

using namespace std::chrono_literals;

Steuerungswelt::Steuerungswelt() {
  dienste.zustandOrdner = ordner / "zustand";
  dienste.konfigOrdner = ordner / "konfig";
  std::filesystem::create_directories(dienste.konfigOrdner);
  dienste.eigenePid = 777;
  dienste.sammeln = [this] {
    Zustand z = schnappschuesse.empty() ? Zustand{} : schnappschuesse.front();
    if (!schnappschuesse.empty()) schnappschuesse.pop_front();
    return z;
  };
  dienste.skriptSuchen = [this] { return fund; };
  dienste.vertrauenswuerdig = [this](const std::filesystem::path&) { return vertrauen; };
  dienste.bashStarten = [this](const std::filesystem::path& s, const std::vector<std::string>& a, bool w) {
    skripte.push_back({s, a, w});
    return std::optional<std::string>{};
  };
  dienste.unserenBeenden = [this](pid_t pid) { beendet.push_back(pid); };
  dienste.aufraeumen = [this] { ++aufgeraeumt; };
}

Steuerung& Steuerungswelt::starten() {
  if (!steuerung) {
    steuerung = std::make_unique<Steuerung>(
        Oberflaeche{schleife, anzeige, dialoge, ablage, anwendung, schluesselbund, besitzer, web, browser}, dienste);
    steuerung->applicationDidFinishLaunching();
  }
  return *steuerung;
}

void Steuerungswelt::runde(Zustand z) {
  schnappschuesse.push_back(std::move(z));
  // The launch's own collection may still be waiting; otherwise the timer asks.
  if (!starten().sammeltGerade()) schleife.vorruecken(3s);
  schleife.hintergrundAbarbeiten();
  schleife.vorruecken(0ms);
}

Zustand laufend(std::string tresor, pid_t pid) {
  Zustand z;
  z.programmLaeuft = true;
  z.programmPid = pid;
  z.tresor = std::move(tresor);
  return z;
}

}  // namespace tw
