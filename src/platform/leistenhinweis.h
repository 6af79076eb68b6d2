#pragma once
// What the user has instead of the tray icon when the desktop shows none: a
// desktop notification that says so and offers the menu's most needed rows
// as its buttons. The decisions live here; the notification service is the
// Linux side's.

#include <string>
#include <vector>

#include "platform/statusanzeige.h"

namespace tw {

// GNOME shows tray icons only with this extension.
inline constexpr const char* gnomeErweiterung = "AppIndicator and KStatusNotifierItem Support";

struct Hinweisknopf {
  std::string kennung;  // the action's key in the notification
  std::string titel;
  Aktion aktion = Aktion::keine;

  bool operator==(const Hinweisknopf&) const = default;
};

struct Leistenhinweis {
  std::string ueberschrift;
  std::string text;
  std::vector<Hinweisknopf> knoepfe;  // at most three, the order shown
  Aktion beimKlick = Aktion::keine;   // a click on the notification itself ("default")

  // What the button with this key, or "default", does.
  Aktion aktion(const std::string& kennung) const;
  bool operator==(const Leistenhinweis&) const = default;
};

// The notification for these menu rows; `arbeitsflaeche` is the session's
// XDG_CURRENT_DESKTOP, which says what helps.
Leistenhinweis leistenhinweis(const std::vector<Menuezeile>& zeilen, const std::string& arbeitsflaeche);

// What a look at the desktop's tray means. `host`: a tray host is registered
// with the watcher; `eingetragen`: the watcher lists our item; `altesSymbol`:
// a legacy tray embeds the fallback icon; `verbunden`: the library says it
// registered; `anlaufend`: the app has just started; `schonNeu`: the item was
// made anew since the tray last changed; `x11`: a legacy tray may still take
// the fallback icon.
struct Leistenblick {
  bool host, eingetragen, altesSymbol, verbunden, anlaufend, schonNeu, x11;
};
// neuAnmelden: the item registers once more; neuAnlegen: the library never
// registered it, so it is made anew.
enum class Leistenbefund { sichtbar, unsichtbar, abwarten, neuAnmelden, neuAnlegen };
Leistenbefund leistenbefund(const Leistenblick& blick);

// When the notification is shown, replaced or withdrawn. It appears when the
// icon cannot be seen, and goes when it can; closed by the user, it comes
// back only when its buttons change or the icon is lost again.
class Hinweislage {
 public:
  enum class Schritt { nichts, zeigen, zurueckziehen };

  explicit Hinweislage(std::string arbeitsflaeche) : arbeitsflaeche_(std::move(arbeitsflaeche)) {}

  Schritt symbol(bool sichtbar);                         // the desktop shows the icon, or not
  Schritt menue(const std::vector<Menuezeile>& zeilen);  // every refresh
  Schritt geschlossen();                                 // the notification went away without us
  const Leistenhinweis& hinweis() const { return hinweis_; }

 private:
  std::string arbeitsflaeche_;
  Leistenhinweis hinweis_ = leistenhinweis({}, arbeitsflaeche_);
  bool sichtbar_ = true;  // until the desktop says otherwise
  bool gezeigt_ = false;
  bool weggeklickt_ = false;
};

}  // namespace tw
