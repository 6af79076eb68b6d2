#pragma once
// Webfenster in a window program of its own (taler-wacht-fenster beside the
// executable), so that this process never loads a web engine and gets all
// of a closed window's memory back. The program is started when the window
// is needed, ends when it is closed, and speaks only over a socket pair
// inherited at start. One that fails to start, dies or hangs is reported
// through the delegate's fensterAusgefallen; the app runs on.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/fensterkanal.h"
#include "platform/webfenster.h"

namespace tw {

class Fensterprogramm final : public Webfenster {
 public:
  // Starts a window program on `ende`, its end of the channel, which the
  // starter takes over: the pid to watch, 0 for one without a process of its
  // own, -1 when it could not start (`fehler` says why).
  using Starter = std::function<pid_t(int ende, std::string& fehler)>;
  static Starter programm(std::filesystem::path ausfuehrbar);

  // `rahmenDatei`: the key file the window program keeps the frame in.
  // `startfrist`: how long a started program may take to build its window.
  Fensterprogramm(Starter starter, std::filesystem::path rahmenDatei,
                  Dauer startfrist = std::chrono::seconds(10));
  ~Fensterprogramm() override;
  Fensterprogramm(const Fensterprogramm&) = delete;
  Fensterprogramm& operator=(const Fensterprogramm&) = delete;

  void aufbauen(const Fensterbauplan& plan, Webdelegat& delegat) override;
  void seiteLaden(const std::string& adresse, Dauer frist) override;
  void htmlLaden(const std::string& html) override;
  void nachVorne() override;
  void schliessen() override;
  std::string adresse() const override { return adresse_; }

  // At the app's end: the program saves the window's frame and ends, waited
  // for a moment.
  void beenden();

 private:
  struct Kind;
  enum class Stand { aus, offen, schliessend };

  bool senden(Nachricht nachricht);
  bool starten();
  void empfangen(Nachricht nachricht);
  void kanalZu();
  void kindEndete(Kind& kind, const std::string& wie);
  void ausgefallen(const std::string& grund);
  void loslassen();

  Starter starter_;
  std::filesystem::path rahmenDatei_;
  Dauer startfrist_;
  std::optional<Fensterbauplan> plan_;
  Webdelegat* delegat_ = nullptr;
  std::unique_ptr<Fensterkanal> kanal_;
  // Every program started and not yet reaped; the last one is the window's.
  std::list<std::unique_ptr<Kind>> kinder_;
  Kind* aktuell_ = nullptr;
  Stand stand_ = Stand::aus;
  // Between a failure and the end of its report no program is started.
  bool meldet_ = false;
  std::string adresse_;
  std::vector<std::string> kekse_;
  unsigned startQuelle_ = 0, meldeQuelle_ = 0;
};

}  // namespace tw
