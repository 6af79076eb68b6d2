#include "lifecycle/prozesse.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "app/dateien.h"
#include "app/konstanten.h"
#include "app/protokoll.h"
#include "app/text.h"

namespace tw {
namespace {

std::string procPfad(pid_t pid, const char* eintrag) {
  return "/proc/" + std::to_string(pid) + "/" + eintrag;
}

// /proc entries of other users are readable to root; ownership is checked
// here so that root never treats another user's process as its own.
bool gehoertUns(pid_t pid) {
  struct stat st {};
  return ::stat(procPfad(pid, "").c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

// Arguments and environment together stay below the kernel's limit for exec.
constexpr std::size_t groessterArgumentbereich = 8 << 20;

void stueckeAnhaengen(std::string_view bereich, std::vector<std::string>& stuecke) {
  while (!bereich.empty()) {
    const auto nul = bereich.find('\0');
    const auto stueck = bereich.substr(0, nul);
    if (!stueck.empty() && gueltigesUtf8(stueck)) stuecke.emplace_back(stueck);
    if (nul == std::string_view::npos) break;
    bereich.remove_prefix(nul + 1);
  }
}

bool nenntUns(std::string_view text) {
  for (auto name : eigeneNamen)
    if (text.find(name) != std::string_view::npos) return true;
  return false;
}

// Linux installs interpreters under versioned names ("python3.11"); such a
// name counts as the interpreter it versions. Debian's /bin/sh is dash.
bool istInterpreter(std::string_view name) {
  if (name == "dash") return true;
  for (auto bekannt : interpreter) {
    if (name == bekannt) return true;
    if (name.size() > bekannt.size() + 1 && name.substr(0, bekannt.size()) == bekannt &&
        name[bekannt.size()] == '.') {
      const auto rest = name.substr(bekannt.size() + 1);
      bool nurVersion = rest.front() != '.' && rest.back() != '.';
      for (char c : rest) nurVersion = nurVersion && ((c >= '0' && c <= '9') || c == '.');
      if (nurVersion) return true;
    }
  }
  return false;
}

}  // namespace

bool lebt(pid_t pid) {
  if (pid < 1) return false;
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::optional<std::string> prozessPfad(pid_t pid) {
  if (pid < 1 || !gehoertUns(pid)) return std::nullopt;
  char puffer[4096] = {};
  const ssize_t n = ::readlink(procPfad(pid, "exe").c_str(), puffer, sizeof puffer - 1);
  if (n < 1) return std::nullopt;
  return std::string(puffer, static_cast<std::size_t>(n));
}

namespace {

std::vector<std::string> argumenteMitPfad(pid_t pid, const std::string& pfad) {
  std::vector<std::string> stuecke;
  stueckeAnhaengen(pfad, stuecke);
  for (const char* bereich : {"cmdline", "environ"})
    if (auto inhalt = rohLesen(procPfad(pid, bereich), groessterArgumentbereich))
      stueckeAnhaengen(*inhalt, stuecke);
  return stuecke;
}

}  // namespace

std::vector<std::string> prozessArgumente(pid_t pid) {
  const auto pfad = prozessPfad(pid);
  return pfad ? argumenteMitPfad(pid, *pfad) : std::vector<std::string>{};
}

bool prozessIstUnser(pid_t pid) {
  const auto pfad = prozessPfad(pid);
  if (!pfad) return false;
  if (nenntUns(*pfad)) return true;
  const auto schraegstrich = pfad->rfind('/');
  const std::string_view name =
      std::string_view(*pfad).substr(schraegstrich == std::string::npos ? 0 : schraegstrich + 1);
  if (!istInterpreter(name)) return false;
  for (const auto& stueck : argumenteMitPfad(pid, *pfad))
    if (nenntUns(stueck)) return true;
  return false;
}

void nichtUnserMelden(pid_t pid) {
  protokollieren("Prozess " + std::to_string(pid) + " ist nicht unser (" + prozessPfad(pid).value_or("?") +
                 ") — nicht beendet");
}

void unserenBeenden(pid_t pid) {
  if (pid < 1 || pid == ::getpid()) return;
  if (prozessIstUnser(pid)) {
    ::kill(pid, SIGTERM);
    return;
  }
  nichtUnserMelden(pid);
}

}  // namespace tw
