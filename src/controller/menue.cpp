#include "controller/menue.h"

namespace tw {

namespace {

Menuezeile info(std::string titel) { return Menuezeile{.titel = std::move(titel)}; }

Menuezeile eintrag(std::string titel, Aktion aktion, bool aktiv, std::string taste = "") {
  return Menuezeile{.titel = std::move(titel), .aktion = aktion, .taste = std::move(taste), .aktiv = aktiv};
}

std::string statusZeile(const Zustand& z) {
  if (z.tresor == "offen") {
    if (!z.restminuten) return "Tresor offen · unbegrenzt";
    return "Tresor offen · noch " + std::to_string(*z.restminuten) + " min";
  }
  if (z.tresor == "zu") return "Tresor zu";
  if (z.tresor == "leer") return "Tresor noch nicht eingerichtet";
  return z.aktiv() ? "Tresor: keine Antwort" : "Nichts verbunden";
}

void serverBlock(const Menueeingaben& e, std::vector<Menuezeile>& zeilen) {
  const Zustand& z = e.zustand;
  const bool gefunden = e.skript.skript.has_value();
  if (!z.programmLaeuft && !gefunden && !e.skript.abgelehnt) return;

  zeilen.push_back(trennlinie());
  if (!gefunden && e.skript.abgelehnt) zeilen.push_back(info("Programm nicht signiert — nicht gestartet"));
  if (z.programmLaeuft) {
    zeilen.push_back(info("Für ChatGPT & Co.: läuft"));
    if (e.neueAdresse) {
      zeilen.push_back(eintrag("Neue Adresse — im Chatbot eintragen", Aktion::adresseKopieren, true));
    } else {
      zeilen.push_back(
          eintrag("Adresse für den Chatbot kopieren", Aktion::adresseKopieren, !z.adresse.empty()));
    }
    zeilen.push_back(eintrag("Anhalten", Aktion::anhalten, true));
  } else {
    zeilen.push_back(info("Für ChatGPT & Co.: angehalten"));
    zeilen.push_back(eintrag("Starten", Aktion::starten, gefunden));
  }
  Menuezeile autostart = eintrag("Beim Anmelden starten", Aktion::autostartUmschalten, gefunden);
  autostart.haken = e.autostart == "ja" ? Haken::an : Haken::aus;
  zeilen.push_back(autostart);
}

}  // namespace

std::string titelText(const Zustand& z, bool neueAdresse) {
  std::string titel;
  if (z.tresor == "offen" && z.restminuten) {
    const auto m = *z.restminuten;
    titel = m < 60 ? " " + std::to_string(m) + " min"
                   : " " + std::to_string(m / 60) + " h " + std::to_string(m % 60) + " min";
  } else if (z.tresor == "zu") {
    titel = " gesperrt";
  }
  if (neueAdresse) titel += " !";
  return titel;
}

Anzeige anzeigeBauen(const Menueeingaben& e) {
  const Zustand& z = e.zustand;
  Anzeige a;
  a.symbol = z.aktiv() && z.tresor == "offen" ? "questionmark.bubble.fill" : "questionmark.bubble";
  a.titel = titelText(z, e.neueAdresse);

  auto& zeilen = a.zeilen;
  zeilen.push_back(info("Taler Wacht " + e.fassung));
  zeilen.push_back(info(statusZeile(z)));
  if (!z.claudePorts.empty()) zeilen.push_back(info("Claude: verbunden"));
  if (!z.fremdeFassung.empty()) {
    zeilen.push_back(info("Alte Erweiterung läuft (" + z.fremdeFassung + ")"));
    zeilen.push_back(info("→ in Claude: Einstellungen › Erweiterungen"));
  }
  zeilen.push_back(trennlinie());
  if (z.tresor == "offen") zeilen.push_back(eintrag("Tresor sperren", Aktion::tresorSperren, true));
  if (z.tresor == "zu") {
    zeilen.push_back(eintrag(e.passphraseGemerkt ? "Tresor entsperren" : "Tresor entsperren …",
                             Aktion::tresorEntsperren, !z.eigeneSeiten.empty()));
  }
  if (e.passphraseGemerkt) {
    zeilen.push_back(eintrag("Gemerkte Passphrase vergessen", Aktion::passphraseVergessenKlick, true));
  }
  if (z.aktiv() && z.tresor == "unbekannt")
    zeilen.push_back(eintrag("Neu starten", Aktion::neuStartenKlick, true));
  zeilen.push_back(trennlinie());
  zeilen.push_back(eintrag(z.tresor == "leer" ? "Einrichten …" : "Einstellungen …", Aktion::seiteOeffnen,
                           !z.eigeneSeiten.empty(), ","));
  serverBlock(e, zeilen);
  zeilen.push_back(trennlinie());
  zeilen.push_back(eintrag("Symbol ausblenden", Aktion::ausblenden, true));
  zeilen.push_back(eintrag("Taler Wacht beenden", Aktion::beendenKlick, true, "q"));
  if (e.entfernen) {
    zeilen.push_back(eintrag("Alles von diesem Computer entfernen …", Aktion::zuruecksetzenKlick,
                             e.entfernen->skript.has_value()));
  }
  // Where a group of rows is absent, its two separators would meet.
  std::vector<Menuezeile> ohneLeere;
  for (auto& zeile : zeilen)
    if (!zeile.trenner || (!ohneLeere.empty() && !ohneLeere.back().trenner))
      ohneLeere.push_back(std::move(zeile));
  if (!ohneLeere.empty() && ohneLeere.back().trenner) ohneLeere.pop_back();
  zeilen = std::move(ohneLeere);
  return a;
}

}  // namespace tw
