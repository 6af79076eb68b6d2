#pragma once
// The private channel between the app and its window program: one end of a
// socket pair each, whole messages of text fields, never blocking the main
// loop. Main thread only.

#include <glib.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tw {

struct Nachricht {
  std::string art;
  std::vector<std::string> teile{};
  bool operator==(const Nachricht&) const = default;
};

// A message as it goes over the channel.
std::string verpacken(const Nachricht& nachricht);
// Takes the first whole message off `puffer`; nullopt while it is incomplete.
// A message that can never be whole (too large, fields that overrun it) sets
// `kaputt`.
std::optional<Nachricht> entpacken(std::string& puffer, bool& kaputt);

class Fensterkanal {
 public:
  // Takes `fd` over. `ende` runs once, when the other side has gone or sent
  // something that is not a message; nothing is received after it.
  Fensterkanal(int fd, std::function<void(Nachricht)> empfangen, std::function<void()> ende);
  ~Fensterkanal();
  Fensterkanal(const Fensterkanal&) = delete;
  Fensterkanal& operator=(const Fensterkanal&) = delete;

  // Queues the message; false when the channel has ended or the other side
  // has stopped reading (more than a few megabytes waiting).
  bool senden(const Nachricht& nachricht);
  // Writes what is queued, waiting at most `frist_ms`; for the last words
  // before a program ends.
  void leeren(int frist_ms);
  bool offen() const { return fd_ >= 0; }

 private:
  static gboolean bereit(gint fd, GIOCondition bedingung, gpointer selbst);
  void schreiben();
  void beenden();

  int fd_;
  std::function<void(Nachricht)> empfangen_;
  std::function<void()> ende_;
  std::string eingang_, ausgang_;
  guint quelle_ = 0;
  bool schreibtGerade_ = false;
  // Set while the receiver runs: it may destroy the channel.
  bool* zerstoert_ = nullptr;
};

}  // namespace tw
