// Starting, stopping and restarting the program for ChatGPT & Co., and the
// end of the app. The script runs only from a bundle the gate accepts.

#include "app/protokoll.h"
#include "controller/steuerung.h"
#include "status/abrufen.h"

namespace tw {

using namespace std::chrono_literals;

void Steuerung::skriptRufen(const std::filesystem::path& skript, const std::vector<std::string>& argumente,
                            bool warten) {
  // The script sits at <bundle>/Contents/Resources/starten.
  const auto buendel = skript.parent_path().parent_path().parent_path();
  if (!dienste_.vertrauenswuerdig(buendel)) {
    protokollieren(buendel.filename().string() + " trägt nicht unsere Signatur — Skript nicht gestartet");
    zeichnen();
    return;
  }
  if (const auto fehler = dienste_.bashStarten(skript, argumente, warten)) {
    protokollieren("Startskript nicht ausführbar: " + *fehler);
  }
}

void Steuerung::starten() {
  const auto fund = dienste_.skriptSuchen();
  if (!fund.skript) return;
  std::vector<std::string> argumente{"--still"};
  if (hatArgument("--autostart")) argumente.emplace_back("--autostart");
  skriptRufen(*fund.skript, argumente, false);
  o_.schleife.spaeter(2000ms, [this] { aktualisieren(); });
}

void Steuerung::anhaltenUnd(Dauer frist, std::function<void()> danach) {
  if (zustand_.programmLaeuft) dienste_.unserenBeenden(zustand_.programmPid);
  o_.schleife.spaeter(frist, std::move(danach));
}

void Steuerung::neuStarten() {
  anhaltenUnd(1500ms, [this] { starten(); });
}

void Steuerung::anhalten() {
  anhaltenUnd(1000ms, [this] { aktualisieren(); });
}

void Steuerung::beenden() {
  if (endet_) return;
  endet_ = true;
  // Whatever else was asked meanwhile is answered by the quit, a keyring prompt too.
  wache_.alleSchliessen();
  o_.schluesselbund.abbrechen();
  std::vector<Url> sperren;
  if (zustand_.tresor == "offen")
    for (const auto& seite : zustand_.seiten) sperren.push_back(seite.mitKomponente("sperren"));
  const pid_t pid = zustand_.programmLaeuft ? zustand_.programmPid : 0;
  // Only copies travel to the background; the controller is touched again on the main loop.
  o_.schleife.imHintergrund(Dringlichkeit::nutzer,
                            [this, sperren, pid, beender = dienste_.unserenBeenden, &schleife = o_.schleife] {
                              // All at once: a page that hangs costs one time limit, not one per page.
                              std::size_t nichtGesperrt = 0;
                              for (const auto& antwort : alleAbrufen(sperren, "POST"))
                                nichtGesperrt += antwort.status != 200;
                              if (pid > 0) beender(pid);
                              schleife.posten([this, nichtGesperrt] { beendenAbschliessen(nichtGesperrt); });
                            });
}

void Steuerung::beendenAbschliessen(std::size_t nichtGesperrt) {
  if (nichtGesperrt > 0) {
    // The quit promised a locked vault: a page that did not confirm is no success.
    protokollieren("beim Beenden nicht gesperrt: " + std::to_string(nichtGesperrt) +
                   " Seite(n) ohne Bestätigung");
    wache_.letztesWort(Hinweis{
        .nachricht = "Der Tresor ließ sich nicht überall sperren",
        .text = "Ein Programm auf diesem Rechner hat die Sperre nicht bestätigt — dort kann der Tresor "
                "noch offen sein. Taler Wacht wird trotzdem beendet.",
        .knoepfe = {"Beenden"},
        .kritisch = true});
  }
  o_.anwendung.beendenAnfragen();
}

}  // namespace tw
