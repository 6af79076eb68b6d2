#pragma once
// The window program's decisions, free of the toolkit and the web engine:
// which frame the window takes, what a load step means for the app, and how
// a web process that ended is handled. The Linux side only reads the facts
// out of GTK and WebKit and does what these say.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw {

// A screen's work area.
struct Flaeche {
  int x = 0, y = 0, breite = 0, hoehe = 0;
};
// What the frame file holds for the window; a value it lacks is missing.
struct GespeicherterRahmen {
  std::optional<int> breite, hoehe, x, y;
};
struct Rahmenwahl {
  int breite = 0, hoehe = 0;
  std::optional<std::pair<int, int>> ort{};  // none: centred
  bool operator==(const Rahmenwahl&) const = default;
};
// `bildschirme`: the work areas, the primary one first. `ortBekannt`: the
// windowing system lets a program place its own window (only X11 does).
Rahmenwahl rahmenWaehlen(const GespeicherterRahmen& gespeichert, const std::vector<Flaeche>& bildschirme,
                         bool ortBekannt);

// The steps of one load as the web view reports them.
enum class Ladeschritt { begonnen, umgeleitet, uebernommen, fertig };
enum class Ladefolge { nichts, fristEnde, geladen, fehlgeschlagen };

// One view's loads: what each step and each failure means for the app.
class Ladeverlauf {
 public:
  Ladefolge schritt(Ladeschritt schritt);
  // `abgebrochen`: a newer load or a refused navigation ended it.
  Ladefolge fehler(Ladeschritt bei, bool abgebrochen);

 private:
  bool gescheitert_ = false;
};

// The text for a load that got no answer within `frist`.
std::string keineAntwort(std::chrono::milliseconds frist);

// A web process that ends by itself is replaced this many times in a row
// before the window gives up; a load the app asks for starts the count anew.
inline constexpr int hoechstensWiederbelebt = 3;
enum class Webprozessfolge { uebergehen, neuLaden, aufgeben };
// `gewollt`: ended on purpose; `seiteDa`: the view has had something to show.
Webprozessfolge webprozessEnde(bool gewollt, bool seiteDa, int wiederbelebt);

// The app's answer to a navigation: whether WebKit goes ahead, and whether
// the page of a new window is loaded in this view instead.
struct Antwortfolge {
  bool weiter = false, hierLaden = false;
  bool operator==(const Antwortfolge&) const = default;
};
Antwortfolge antwortFolge(bool ja, bool neuesFenster);

// How a child ended, from its wait status, for the log.
std::string wieBeendet(int status);

}  // namespace tw
