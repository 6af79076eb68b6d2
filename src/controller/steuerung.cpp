#include "controller/steuerung.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "app/dateien.h"
#include "app/konstanten.h"
#include "app/protokoll.h"
#include "controller/menue.h"
#include "lifecycle/bash_starten.h"
#include "lifecycle/einzelbetrieb.h"
#include "lifecycle/prozesse.h"
#include "lifecycle/signaturtor.h"
#include "platform/hauptbuendel.h"
#include "status/sammeln.h"
#include "vault/passphrase.h"

namespace tw {

using namespace std::chrono_literals;

Steuerungsdienste programmDienste(std::vector<std::string> argumente) {
  Steuerungsdienste d;
  d.zustandOrdner = zustandOrdner();
  d.konfigOrdner = konfigOrdner();
  d.imBuendel = imBuendel();
  d.buendelName = hauptbuendel().infoText("CFBundleName").value_or("Taler Wacht");
  d.ausfuehrbarerPfad = hauptbuendel().ausfuehrbarerPfad();
  d.eigenePid = ::getpid();
  d.argumente = std::move(argumente);
  d.sammeln = [] { return sammeln(); };
  d.skriptSuchen = [] { return skriptSuchen(); };
  d.vertrauenswuerdig = [](const std::filesystem::path& b) { return buendelVertrauenswuerdig(b); };
  d.bashStarten = bashStarten;
  d.unserenBeenden = [](pid_t pid) { tw::unserenBeenden(pid); };
  d.aufraeumen = [] { tw::aufraeumen(); };
  return d;
}

Steuerung::Steuerung(Oberflaeche oberflaeche, Steuerungsdienste dienste)
    : o_(oberflaeche),
      dienste_(std::move(dienste)),
      wache_(o_.dialoge),
      fenster_(o_.web, wache_, o_.browser, o_.schleife,
               Fensterorte{.konfigOrdner = dienste_.konfigOrdner,
                           .zustandOrdner = dienste_.zustandOrdner,
                           .titel = dienste_.buendelName,
                           .seiteModus = hatArgument("--seite"),
                           .heim = heim()}) {
  // The window lives inside the controller, so it never outlives what it calls.
  fenster_.tresorOffen = [this] { return std::pair(zustand_.tresor == "offen", zustand_.restminuten); };
  fenster_.sperren = [this] { tresorSperren(); };
  fenster_.neuStarten = [this] { neuStarten(); };
  o_.anzeige.beiKlick([this](Aktion aktion) { ausfuehren(aktion); });
  privatenOrdnerAnlegen(dienste_.zustandOrdner);
  schreibenPrivat(std::to_string(dienste_.eigenePid), dienste_.zustandOrdner / "menue.pid");
}

bool Steuerung::hatArgument(std::string_view argument) const {
  return std::find(dienste_.argumente.begin(), dienste_.argumente.end(), argument) !=
         dienste_.argumente.end();
}

void Steuerung::applicationDidFinishLaunching() {
  zeichnen();
  aktualisieren();
  uhr_ = o_.schleife.wiederholen(3000ms, [this] { aktualisieren(); });
  if (hatArgument("--seite")) {
    o_.schleife.spaeter(2000ms, [this] { seiteOeffnen(); });
  }
  if (hatArgument("--autostart")) {
    o_.schleife.spaeter(1000ms, [this] {
      if (!zustand_.programmLaeuft) starten();
    });
  }
}

void Steuerung::applicationWillTerminate() {
  // An alert left open would keep its nested loop, and with it the app, alive.
  wache_.alleSchliessen();
  o_.schluesselbund.abbrechen();
  dienste_.aufraeumen();
}

void Steuerung::aktualisieren() {
  if (sammeltGerade_) {
    nachholen_ = true;
    return;
  }
  sammeltGerade_ = true;
  // The collection gets its own copy of the collector: it must not touch the controller. The
  // keyring is asked here too, so that a slow one never holds up the menu.
  const auto blick = merkstand_.schauen(o_.schleife.jetzt());
  o_.schleife.imHintergrund(Dringlichkeit::hilfsarbeit,
                            [this, sammler = dienste_.sammeln, blick, &bund = o_.schluesselbund] {
                              Zustand neu = sammler();
                              const Gemerkt gemerkt = blick ? passphraseGemerkt(bund) : Gemerkt::unklar;
                              o_.schleife.posten([this, neu = std::move(neu), blick, gemerkt]() mutable {
                                zurueckgeben(std::move(neu), blick, gemerkt);
                              });
                            });
}

void Steuerung::zurueckgeben(Zustand neu, std::optional<std::uint64_t> blick, Gemerkt gemerkt) {
  zustand_ = std::move(neu);
  if (blick) merkstand_.antwort(*blick, gemerkt, o_.schleife.jetzt());
  fenster_.erlaubteSeiten = zustand_.seiten;
  sammeltGerade_ = false;
  // One request that came meanwhile runs now: waiting for the next tick after a collection held up by
  // a silent page would leave the menu six seconds old.
  if (nachholen_) {
    nachholen_ = false;
    o_.schleife.posten([this] { aktualisieren(); });
  }
  // Quitting: the menu keeps showing the state, nothing else acts any more.
  if (endet_) return zeichnen();
  // A vault that is not set up never keeps a remembered passphrase; tried once each time it turns "leer".
  if (zustand_.tresor != "leer") {
    leerVergessen_ = false;
  } else if (merkstand_.gemerkt() && !std::exchange(leerVergessen_, true)) {
    vergessen(false);
  }
  if (zustand_.selbstVeraltet) {
    protokollieren("neuere Fassung läuft — dieses Symbol beendet sich");
    o_.anwendung.beendenAnfragen();
    return;
  }

  if (zustand_.programmLaeuft && zustand_.tresor == "unbekannt") {
    ++ohneAntwort_;
  } else {
    ohneAntwort_ = 0;
  }
  if (ohneAntwort_ == 10 && !ersetztGerade_) {
    ersetztGerade_ = true;
    neuStarten();
    o_.schleife.spaeter(20000ms, [this] { ersetztGerade_ = false; });
  }
  if (zustand_.programmVeraltet && !ersetztGerade_) {
    ersetztGerade_ = true;
    starten();
    o_.schleife.spaeter(6000ms, [this] { ersetztGerade_ = false; });
  }

  if (ersterDurchlauf_) {
    ersterDurchlauf_ = false;
    erststartBehandeln(zustand_);
  }
  wartePruefen(zustand_);
  zeichnen();
  chatgptHinweisPruefen();
  handzeichenPruefen();
  endePruefen();
}

void Steuerung::zeichnen() {
  const Menueeingaben eingaben{
      .zustand = zustand_,
      .passphraseGemerkt = merkstand_.gemerkt(),
      .neueAdresse = neueAdresse(),
      .skript = dienste_.skriptSuchen(),
      .entfernen = dienste_.imBuendel ? std::optional(dienste_.skriptSuchen()) : std::nullopt,
      .autostart = lesen(konfigDatei("autostart")),
      .fassung = std::string(FASSUNG),
  };
  o_.anzeige.zeigen(anzeigeBauen(eingaben));
}

void Steuerung::ausfuehren(Aktion aktion) {
  if (endet_) return;
  switch (aktion) {
    case Aktion::keine:
      break;
    case Aktion::tresorSperren:
      tresorSperren();
      break;
    case Aktion::tresorEntsperren:
      tresorEntsperren();
      break;
    case Aktion::passphraseVergessenKlick:
      vergessen(false);
      break;
    case Aktion::neuStartenKlick:
      neuStarten();
      break;
    case Aktion::starten:
      starten();
      break;
    case Aktion::anhalten:
      anhalten();
      break;
    case Aktion::seiteOeffnen:
      seiteOeffnen();
      break;
    case Aktion::adresseKopieren:
      adresseKopieren();
      break;
    case Aktion::autostartUmschalten:
      autostartUmschalten();
      break;
    case Aktion::ausblenden:
      ausblenden();
      break;
    case Aktion::beendenKlick:
      beendenKlick();
      break;
    case Aktion::zuruecksetzenKlick:
      zuruecksetzenKlick();
      break;
  }
}

}  // namespace tw
