#pragma once
// One desktop notification of the app's through org.freedesktop.Notifications
// (GNOME, KDE, xfce, mako and dunst all serve it): shown, replaced in place,
// withdrawn, and its buttons reported. Main thread only.

#include <functional>
#include <memory>
#include <string>

#include "platform/leistenhinweis.h"

typedef struct _GDBusConnection GDBusConnection;

namespace tw {

class Mitteilung {
 public:
  // `gedrueckt` gets the action of the button pressed (or of a click on the
  // notification); `geschlossen` runs when the user or the service closed it.
  Mitteilung(std::string symbol, std::function<void(Aktion)> gedrueckt, std::function<void()> geschlossen);
  ~Mitteilung();
  Mitteilung(const Mitteilung&) = delete;
  Mitteilung& operator=(const Mitteilung&) = delete;

  void zeigen(const Leistenhinweis& inhalt);
  void zurueckziehen();
  // At the program's end: withdrawn before the process goes, waiting briefly.
  void beenden();

 private:
  struct Rufe;
  void schicken();

  std::string symbol_;
  std::function<void(Aktion)> gedrueckt_;
  std::function<void()> geschlossen_;
  GDBusConnection* bus_ = nullptr;
  unsigned signale_ = 0;
  unsigned id_ = 0;         // the service's id of the one shown
  bool unterwegs_ = false;  // a Notify awaits its answer
  bool erneut_ = false;     // shown again while one was on its way
  bool weg_ = false;        // withdrawn while one was on its way
  bool gemeldet_ = false;   // a missing service is logged once
  Leistenhinweis inhalt_;
  std::shared_ptr<bool> lebt_ = std::make_shared<bool>(true);
};

}  // namespace tw
