// The address actions, and hiding, quitting, removing and autostart.

#include "app/dateien.h"
#include "app/konstanten.h"
#include "controller/steuerung.h"

namespace tw {

bool Steuerung::neueAdresse() const {
  if (!zustand_.programmLaeuft || zustand_.adresse.empty()) return false;
  return lesen(dienste_.zustandOrdner / "menue.adresse").value_or("") != zustand_.adresse;
}

void Steuerung::adresseKopieren() {
  // A copy: handing the text to a clipboard manager may run the main loop,
  // and a refresh there must not change what is confirmed.
  const std::string adresse = zustand_.adresse;
  o_.ablage.setzen(adresse);
  schreibenPrivat(adresse, dienste_.zustandOrdner / "menue.adresse");
  zeichnen();
}

void Steuerung::seiteOeffnen() {
  if (!zustand_.eigeneSeiten.empty()) fenster_.zeigen(zustand_.eigeneSeiten.front());
}

std::string Steuerung::zurueckHinweis() const {
  if (dienste_.imBuendel)
    return "Zurück kommt es, wenn du Taler Wacht wieder öffnest, etwa über die Programmsuche.";
  return "Zurück kommt es, wenn Claude Desktop die Erweiterung neu startet — Claude beenden und wieder "
         "öffnen genügt.";
}

void Steuerung::ausblenden() {
  if (lesen(konfigDatei("symbol-hinweis")) == "gesehen") return o_.anwendung.beendenAnfragen();
  const std::string anfang =
      zustand_.tresor == "offen"
          ? "Der Tresor bleibt offen, alles läuft weiter — nur das Symbol verschwindet. "
          : "Alles läuft weiter, nur das Symbol verschwindet. ";
  const Wahl wahl = wache_.zeigen(Hinweis{.nachricht = "Nur das Symbol ausblenden?",
                                          .text = anfang + zurueckHinweis(),
                                          .knoepfe = {"Ausblenden", "Abbrechen"},
                                          .kaestchen = "Nicht mehr fragen"});
  if (wahl.knopf != ersterKnopf) return;
  if (wahl.kaestchen) {
    privatenOrdnerAnlegen(dienste_.konfigOrdner);
    schreibenPrivat("gesehen", konfigDatei("symbol-hinweis"));
  }
  o_.anwendung.beendenAnfragen();
}

void Steuerung::beendenKlick() {
  std::string text;
  if (zustand_.tresor == "offen") text += "Der Tresor wird gesperrt. ";
  if (zustand_.programmLaeuft) text += "Das Programm für ChatGPT & Co. wird angehalten. ";
  if (!zustand_.claudePorts.empty()) {
    text += "Claude ist verbunden (" + std::to_string(zustand_.claudePorts.size()) +
            ") und kann bis zum nächsten Entsperren keine Bankdaten abrufen. ";
  }
  if (text.empty()) return beenden();
  const Wahl wahl = wache_.zeigen(Hinweis{.nachricht = "Taler Wacht beenden?",
                                          .text = text + zurueckHinweis(),
                                          .knoepfe = {"Beenden", "Abbrechen"}});
  if (wahl.knopf == ersterKnopf) beenden();
}

void Steuerung::zuruecksetzenKlick() {
  const auto fund = dienste_.skriptSuchen();
  if (!fund.skript) return;
  const Wahl wahl = wache_.zeigen(Hinweis{
      .nachricht = "Alles von diesem Computer entfernen?",
      .text =
          "Weg sind: der Tresor mit allen Bankzugängen, die Geräteerkennung Deiner Banken, die Einträge in "
          "Claude und ChatGPT, der Autostart, die gemerkte Passphrase und das Programm selbst. Es gibt keine "
          "Sicherung und keinen Weg zurück.\n\nDeine Konten bei der Bank bleiben unberührt. Zum Neuanfang "
          "lädst Du das Programm wieder von " +
          std::string(webAdresse) + ".",
      .knoepfe = {"Abbrechen", "Alles entfernen"},
      .kritisch = true,
      .ersterAufEscape = true,
      .ohneVorgabe = true});
  if (wahl.knopf != ersterKnopf + 1) return;
  // The script clears the keyring too, but skips a locked one: the app forgets first, asking to unlock.
  vergessen(true, [this, skript = *fund.skript] { skriptRufen(skript, {"--zuruecksetzen"}, false); });
}

void Steuerung::autostartUmschalten() {
  const auto fund = dienste_.skriptSuchen();
  if (!fund.skript) return;
  const bool an = lesen(konfigDatei("autostart")) == "ja";
  skriptRufen(*fund.skript, {an ? "--autostart-aus" : "--autostart-an"}, true);
  zeichnen();
}

}  // namespace tw
