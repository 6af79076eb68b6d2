#include "setupwindow/fensterregeln.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstring>

namespace tw {
namespace {

constexpr int rand = 80;
constexpr int hoechstBreite = 820;
constexpr int hoechstHoehe = 980;
constexpr int ohneBildschirm = 820;

bool ueberlappt(const Flaeche& a, const Flaeche& b) {
  return std::min(a.x + a.breite, b.x + b.breite) > std::max(a.x, b.x) &&
         std::min(a.y + a.hoehe, b.y + b.hoehe) > std::max(a.y, b.y);
}

}  // namespace

Rahmenwahl rahmenWaehlen(const GespeicherterRahmen& g, const std::vector<Flaeche>& bildschirme,
                         bool ortBekannt) {
  // Most of the work area, but no wider or higher than the pages need.
  Rahmenwahl wahl{ohneBildschirm, ohneBildschirm, std::nullopt};
  if (!bildschirme.empty())
    wahl = {std::min(bildschirme[0].breite - rand, hoechstBreite),
            std::min(bildschirme[0].hoehe - rand, hoechstHoehe), std::nullopt};
  // A frame smaller than that would cut the pages off.
  if (!g.breite || !g.hoehe || *g.breite < wahl.breite || *g.hoehe < wahl.hoehe) return wahl;
  wahl.breite = *g.breite, wahl.hoehe = *g.hoehe;
  // A saved place counts only while some of the frame still lies on a screen.
  const Flaeche rahmen{g.x.value_or(0), g.y.value_or(0), wahl.breite, wahl.hoehe};
  if (g.x && g.y && ortBekannt && std::any_of(bildschirme.begin(), bildschirme.end(), [&](const Flaeche& f) {
        return ueberlappt(rahmen, f);
      }))
    wahl.ort = std::pair(*g.x, *g.y);
  return wahl;
}

Ladefolge Ladeverlauf::schritt(Ladeschritt schritt) {
  if (schritt == Ladeschritt::begonnen) gescheitert_ = false;
  // The server has answered: the limit is kept.
  if (schritt == Ladeschritt::uebernommen) return Ladefolge::fristEnde;
  if (schritt == Ladeschritt::fertig && !gescheitert_) return Ladefolge::geladen;
  return Ladefolge::nichts;
}

Ladefolge Ladeverlauf::fehler(Ladeschritt bei, bool abgebrochen) {
  gescheitert_ = true;
  // Only a failure before any of the page was shown is the app's to report;
  // later ones leave the page as far as it came.
  const bool vorlaeufig = bei == Ladeschritt::begonnen || bei == Ladeschritt::umgeleitet;
  return vorlaeufig && !abgebrochen ? Ladefolge::fehlgeschlagen : Ladefolge::nichts;
}

std::string keineAntwort(std::chrono::milliseconds frist) {
  const auto sekunden = std::chrono::duration_cast<std::chrono::seconds>(frist).count();
  return "Keine Antwort innerhalb von " +
         (sekunden > 0 ? std::to_string(sekunden) + " s" : std::to_string(frist.count()) + " ms");
}

Webprozessfolge webprozessEnde(bool gewollt, bool seiteDa, int wiederbelebt) {
  if (gewollt || !seiteDa) return Webprozessfolge::uebergehen;
  return wiederbelebt >= hoechstensWiederbelebt ? Webprozessfolge::aufgeben : Webprozessfolge::neuLaden;
}

Antwortfolge antwortFolge(bool ja, bool neuesFenster) { return {ja && !neuesFenster, ja && neuesFenster}; }

std::string wieBeendet(int status) {
  if (WIFSIGNALED(status))
    return "endete durch Signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) +
           ")";
  return "endete mit Status " + std::to_string(WEXITSTATUS(status));
}

}  // namespace tw
