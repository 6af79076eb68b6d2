#pragma once
// The tray controller: owns the icon and the latest snapshot, refreshes it
// every 3 seconds off the main loop, repairs a silent or outdated server and
// carries out the menu's actions. Main thread only.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controller/dialogwache.h"
#include "lifecycle/skriptsuche.h"
#include "platform/ereignisschleife.h"
#include "platform/oberflaeche.h"
#include "setupwindow/fenster.h"
#include "status/zustand.h"
#include "vault/geheimnis.h"
#include "vault/merkstand.h"

namespace tw {

// Where the controller's files are and how it reaches the outside world;
// the program's own by default, replaced in tests.
struct Steuerungsdienste {
  std::filesystem::path zustandOrdner;
  std::filesystem::path konfigOrdner;
  bool imBuendel = false;
  std::string buendelName = "Taler Wacht";
  // The running executable; when it is gone, the program was removed.
  std::optional<std::filesystem::path> ausfuehrbarerPfad;
  pid_t eigenePid = 0;
  std::vector<std::string> argumente;  // the command line after the program name

  std::function<Zustand()> sammeln;
  std::function<Skriptfund()> skriptSuchen;
  std::function<bool(const std::filesystem::path&)> vertrauenswuerdig;
  // Launches the script with bash; nothing on success, otherwise why not.
  std::function<std::optional<std::string>(const std::filesystem::path&, const std::vector<std::string>&,
                                           bool)>
      bashStarten;
  std::function<void(pid_t)> unserenBeenden;  // SIGTERM, only to our own processes
  std::function<void()> aufraeumen;           // removes the pid file if it names us
};

Steuerungsdienste programmDienste(std::vector<std::string> argumente);

class Steuerung {
 public:
  Steuerung(Oberflaeche oberflaeche, Steuerungsdienste dienste);
  Steuerung(const Steuerung&) = delete;
  Steuerung& operator=(const Steuerung&) = delete;

  void applicationDidFinishLaunching();
  void applicationWillTerminate();
  // Asks for one refresh; a tick while a collection runs is dropped.
  void aktualisieren();
  void zeichnen();
  // A click on a menu row, or on a button that stands in for one.
  void ausfuehren(Aktion aktion);

  Fenster& fenster() { return fenster_; }
  const Zustand& zustand() const { return zustand_; }
  bool sammeltGerade() const { return sammeltGerade_; }
  std::int64_t ohneAntwort() const { return ohneAntwort_; }

 private:
  // steuerung.cpp: the refresh and its hand-back.
  void zurueckgeben(Zustand neu, std::optional<std::uint64_t> blick, Gemerkt gemerkt);
  bool hatArgument(std::string_view argument) const;
  std::filesystem::path konfigDatei(std::string_view name) const { return dienste_.konfigOrdner / name; }

  // serversteuerung.cpp: the server's start script and the end of the app.
  void skriptRufen(const std::filesystem::path& skript, const std::vector<std::string>& argumente,
                   bool warten);
  void starten();
  void neuStarten();
  void anhalten();
  void anhaltenUnd(Dauer frist, std::function<void()> danach);
  // Locks every page that reported "offen", stops the program and ends the app;
  // from here on no dialog answers and no watcher acts.
  void beenden();
  void beendenAbschliessen(std::size_t nichtGesperrt);

  // aktionen.cpp: address, hide, quit, removal and autostart.
  bool neueAdresse() const;
  void adresseKopieren();
  void seiteOeffnen();
  std::string zurueckHinweis() const;
  void ausblenden();
  void beendenKlick();
  void zuruecksetzenKlick();
  void autostartUmschalten();

  // tresor.cpp: the vault.
  void tresorEntsperren();
  void passphraseErfragen(std::optional<std::string> hinweis);
  void entsperrenMit(Geheimnis passphrase, bool merken);
  // `gemerkte`: the remembered passphrase was tried, so a refusal forgets it.
  void entsperrenBeantwortet(bool ok, bool beantwortet, bool gemerkte);
  void tresorSperren();
  // Removes the remembered passphrase off the main loop; when the keyring kept
  // it the user is told, and then `danach` runs.
  void vergessen(bool beimEntfernen, std::function<void()> danach = {});

  // waechter.cpp: the watchers, run by every hand-back.
  void erststartBehandeln(const Zustand& neu);
  void wartePruefen(const Zustand& neu);
  void chatgptHinweisPruefen();
  void handzeichenPruefen();
  void endePruefen();

  Oberflaeche o_;
  Steuerungsdienste dienste_;

  Dialogwache wache_;  // before the window, which shows its notice through it
  Fenster fenster_;
  Zustand zustand_;
  Merkstand merkstand_;
  bool leerVergessen_ = false;  // the forget for this spell of "leer" has run
  bool sammeltGerade_ = false;
  bool nachholen_ = false;  // a refresh was asked for while one ran
  std::optional<WeckerId> uhr_;
  bool ersterDurchlauf_ = true;
  bool ersetztGerade_ = false;
  bool endet_ = false;
  std::int64_t ohneAntwort_ = 0;
  std::optional<Zeitpunkt> leerSeit_;
};

}  // namespace tw
