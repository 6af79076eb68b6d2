#pragma once
// One dialog at a time. The platform's alerts wait in a nested main loop, so
// menu clicks, timers and watchers go on beneath them; a second alert asked
// for meanwhile is not shown: the open one comes to the front and the caller
// gets keinKnopf. Once the app has started to quit, every open alert is closed
// and its answer no longer counts. Main thread only.

#include "platform/dialoge.h"

namespace tw {

class Dialogwache final : public Dialoge {
 public:
  explicit Dialogwache(Dialoge& innen) : innen_(innen) {}

  Wahl zeigen(const Hinweis& hinweis) override;
  Eingabe passphraseFragen(const Hinweis& hinweis) override;
  void nachVorne() override { innen_.nachVorne(); }
  // From now on nothing is shown but the last word.
  void alleSchliessen() override;

  // No dialog is open and the app is not quitting; otherwise the open one
  // comes to the front.
  bool frei();
  // A dialog shown outside this seam (the owner's confirmation) is open.
  void belegen() { ++offen_; }
  void freigeben() { --offen_; }
  // The one alert that is still shown while the app quits.
  Wahl letztesWort(const Hinweis& hinweis) { return innen_.zeigen(hinweis); }

 private:
  // Shows one dialog through `fragen` when none is open; an answer given
  // after the app started to quit is no answer.
  template <class Antwort, class Fragen>
  Antwort bewacht(Fragen fragen) {
    if (!frei()) return Antwort{.knopf = keinKnopf};
    ++offen_;
    Antwort antwort = fragen();
    --offen_;
    if (geschlossen_) return Antwort{.knopf = keinKnopf};
    return antwort;
  }

  Dialoge& innen_;
  int offen_ = 0;
  bool geschlossen_ = false;
};

}  // namespace tw
