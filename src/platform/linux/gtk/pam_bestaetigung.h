#pragma once
// Owner confirmation through PAM for the user who runs the app, answered by a
// dialog of our own. PAM runs on a worker thread; the main loop never waits.

#include <memory>
#include <string>

#include "platform/besitzerbestaetigung.h"
#include "platform/ereignisschleife.h"

namespace tw {

class PamBestaetigung final : public Besitzerbestaetigung {
 public:
  explicit PamBestaetigung(Ereignisschleife& schleife, std::string dienst = "taler-wacht");
  // Cancels an open confirmation and waits a little for its PAM thread.
  ~PamBestaetigung() override;
  void besitzerBestaetigen(const std::string& grund, Bestaetigt dann) override;

 private:
  struct Bote;
  struct Sitzung;

  Ereignisschleife& schleife_;
  std::string dienst_;
  std::shared_ptr<Bote> bote_;
  std::shared_ptr<Sitzung> offen_;  // the latest confirmation, main thread only
};

}  // namespace tw
