// What every hand-back looks at without being asked: the first start, a
// stalled waiting page, a new chatbot address, pages the server asks for, and
// the end of a copy that nothing needs any more.

#include <filesystem>

#include "app/dateien.h"
#include "app/protokoll.h"
#include "controller/steuerung.h"
#include "status/seitenregeln.h"

namespace tw {

using namespace std::chrono_literals;

void Steuerung::erststartBehandeln(const Zustand& neu) {
  // An autostart launch starts the program itself, a second later.
  if (!dienste_.imBuendel || hatArgument("--autostart")) return;
  if (!neu.programmLaeuft) starten();
  std::error_code fehler;
  if (!std::filesystem::exists(konfigDatei("zugaenge.enc"), fehler) && neu.eigeneSeiten.empty())
    fenster_.warten();
}

void Steuerung::wartePruefen(const Zustand& neu) {
  if (!fenster_.wartetSeit) return;
  if (!neu.eigeneSeiten.empty()) return fenster_.zeigen(neu.eigeneSeiten.front());
  if (!fenster_.langeGewartet && o_.schleife.jetzt() - *fenster_.wartetSeit > 30s)
    fenster_.warteHinweisVerlaengert();
}

void Steuerung::chatgptHinweisPruefen() {
  if (!neueAdresse()) return;
  const auto gezeigt = dienste_.zustandOrdner / "menue.adresse.gezeigt";
  if (lesen(gezeigt) == zustand_.adresse) return;
  // Nothing is recorded before there is a page to show it on, and the page was shown.
  if (zustand_.eigeneSeiten.empty()) return;
  fenster_.zeigen(zustand_.eigeneSeiten.front().mitKomponente("chatbots").mitFragment("chatgpt"),
                  [adresse = zustand_.adresse, gezeigt] { schreibenPrivat(adresse, gezeigt); });
}

void Steuerung::handzeichenPruefen() {
  const auto datei = dienste_.zustandOrdner / "seite.oeffnen";
  const auto inhalt = lesen(datei);
  std::error_code fehler;
  if (!inhalt) {
    // A request that cannot be read as text would be read again every 3 seconds.
    if (std::filesystem::symlink_status(datei, fehler).type() == std::filesystem::file_type::not_found)
      return;
    std::filesystem::remove_all(datei, fehler);
    protokollieren("seite.oeffnen nicht lesbar — gelöscht" + (fehler ? ": " + fehler.message() : ""));
    return;
  }
  // Gone before it is acted on, so that each request counts once.
  std::filesystem::remove(datei, fehler);
  std::optional<Url> seite = Url::aus(*inhalt);
  if (seite && !lokaleSeite(*seite, zustand_.seiten)) {
    protokollieren("Handzeichen mit fremder Adresse übergangen");
    seite.reset();
  }
  if (!seite && !zustand_.eigeneSeiten.empty()) seite = zustand_.eigeneSeiten.front();
  if (seite) fenster_.zeigen(*seite);
}

void Steuerung::endePruefen() {
  // Only the bare executable that an extension starts ends itself.
  if (dienste_.imBuendel) return;
  std::error_code fehler;
  // Only a file that is surely gone counts, not one that cannot be looked at.
  if (dienste_.ausfuehrbarerPfad && std::filesystem::status(*dienste_.ausfuehrbarerPfad, fehler).type() ==
                                        std::filesystem::file_type::not_found) {
    o_.anwendung.beendenAnfragen();
    return;
  }
  if (zustand_.aktiv()) {
    leerSeit_.reset();
  } else if (!leerSeit_) {
    leerSeit_ = o_.schleife.jetzt();
  } else if (o_.schleife.jetzt() - *leerSeit_ > 60s) {
    o_.anwendung.beendenAnfragen();
  }
}

}  // namespace tw
