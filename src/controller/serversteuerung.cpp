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
  const auto seiten = zustand_.tresor == "offen" ? zustand_.seiten : std::vector<Url>{};
  const pid_t pid = zustand_.programmLaeuft ? zustand_.programmPid : 0;
  // Only copies travel to the background; the controller is touched again on the main loop.
  o_.schleife.imHintergrund(Dringlichkeit::nutzer, [seiten, pid, beender = dienste_.unserenBeenden,
                                                    &schleife = o_.schleife, &anwendung = o_.anwendung] {
    for (const auto& seite : seiten) abrufen(seite.mitKomponente("sperren"), "POST");
    if (pid > 0) beender(pid);
    schleife.posten([&anwendung] { anwendung.beendenAnfragen(); });
  });
}

}  // namespace tw
