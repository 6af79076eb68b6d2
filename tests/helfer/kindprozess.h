#pragma once
// A real child process for tests in its own process group, its output kept
// in files; killed with its group if the test leaves it.

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "helfer/temp_ordner.h"

namespace tw {

struct Start {
  std::vector<std::string> argumente{};           // argumente[0] is the program
  std::map<std::string, std::string> umgebung{};  // added to (or replacing) the test's own
  std::vector<std::string> ohne{};                // removed from the test's own
  std::optional<std::filesystem::path> ordner{};  // working directory
};

// A child's own world: HOME and its XDG folders under `heim`, and the server's
// state folder and port where given.
std::map<std::string, std::string> umgebung(const std::filesystem::path& heim,
                                            const std::filesystem::path& zustand = {},
                                            const std::string& port = "");

class Kindprozess {
 public:
  explicit Kindprozess(const Start& start);
  ~Kindprozess();
  Kindprozess(const Kindprozess&) = delete;
  Kindprozess& operator=(const Kindprozess&) = delete;

  pid_t pid() const { return pid_; }
  // The wait status once the child ended within `frist`; it is reaped then.
  std::optional<int> warten(std::chrono::milliseconds frist);
  bool laeuft() { return !warten(std::chrono::milliseconds{0}); }
  std::string ausgabe() const { return text("aus"); }
  std::string fehler() const { return text("fehler"); }

 private:
  std::string text(const char* name) const;
  TempOrdner ordner_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The port from the stand-in server's "bereit <port>" line; 0 when it does not come within ten seconds.
int bereitePort(Kindprozess& server);
// The "name=value" lines of a program that must exit with 0 within ten seconds.
std::map<std::string, std::string> namensWerte(const Start& start);
bool endeteMit(std::optional<int> status, int code);
// Polls `bedingung` every 10 ms until it holds or `frist` passes.
bool bisZu(std::chrono::milliseconds frist, const std::function<bool()>& bedingung);

}  // namespace tw
