#pragma once
// Ereignisschleife on GLib's default main context, so that GTK shares it.

#include <map>
#include <memory>

#include "platform/arbeiterpool.h"
#include "platform/ereignisschleife.h"

typedef struct _GMainLoop GMainLoop;

namespace tw {

class GlibSchleife final : public Ereignisschleife {
 public:
  GlibSchleife();
  ~GlibSchleife() override;

  Zeitpunkt jetzt() const override;
  void schlafen(Dauer dauer) override;
  void posten(Aufgabe aufgabe) override;
  WeckerId spaeter(Dauer dauer, Aufgabe aufgabe) override;
  WeckerId wiederholen(Dauer abstand, Aufgabe aufgabe) override;
  void abbrechen(WeckerId wecker) override;
  void imHintergrund(Dringlichkeit dringlichkeit, Aufgabe aufgabe) override;
  void beiSignal(int signal, Aufgabe aufgabe) override;

  // Runs the main loop until beenden() is called.
  void laufen();
  void beenden();

 private:
  struct Wecker;
  WeckerId wecken(Dauer dauer, Aufgabe aufgabe, bool wiederholt);

  GMainLoop* schleife_;
  Arbeiterpool pool_;
  std::map<WeckerId, unsigned> quellen_;  // timer id -> GLib source id
  WeckerId naechster_ = 1;
};

}  // namespace tw
