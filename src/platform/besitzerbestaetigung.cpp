#include "platform/besitzerbestaetigung.h"

namespace tw {

std::string bestaetigungsSatz(const std::string& grund) { return "„Taler Wacht“ versucht, " + grund + "."; }

bool nochEinVersuch(PamErgebnis anmeldung, bool gefragt, int versuch, bool abgebrochen) {
  return anmeldung == PamErgebnis::falsch && gefragt && versuch < hoechstVersuche && !abgebrochen;
}

BesitzerAusgang nichtMoeglich() {
  return {.warum = "Die Bestätigung ist nicht gelungen. Der Tresor bleibt gesperrt."};
}

BesitzerAusgang besitzerAusgang(PamErgebnis anmeldung, PamErgebnis konto, bool gefragt, int versuch,
                                bool abgebrochen) {
  if (abgebrochen) return {};
  if (anmeldung == PamErgebnis::erfolg && konto == PamErgebnis::erfolg) return {.bestaetigt = true};
  // The account check may refuse with PAM_AUTH_ERR as well.
  if (anmeldung == PamErgebnis::falsch && gefragt && versuch >= hoechstVersuche)
    return {.warum = "Das Passwort war dreimal nicht richtig. Der Tresor bleibt gesperrt."};
  return nichtMoeglich();
}

PamUmgang umgangMit(PamNachricht art, bool antwortPlatz, bool abgebrochen) {
  if (abgebrochen) return PamUmgang::ablehnen;
  if (art == PamNachricht::frageVerdeckt || art == PamNachricht::frageSichtbar)
    return antwortPlatz ? PamUmgang::fragen : PamUmgang::ablehnen;
  return art == PamNachricht::notiz ? PamUmgang::zeigen : PamUmgang::ablehnen;
}

std::string feldName(std::string frage) {
  while (!frage.empty() && (frage.back() == ' ' || frage.back() == ':')) frage.pop_back();
  return frage;
}

}  // namespace tw
