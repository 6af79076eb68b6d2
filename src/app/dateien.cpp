#include "app/dateien.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "app/text.h"

namespace tw {
namespace {

bool allesSchreiben(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::optional<std::string> rohLesen(const std::filesystem::path& datei, std::size_t hoechstens) {
  // Non-blocking open: a FIFO planted under a known name must not stall the caller.
  const int fd = ::open(datei.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::string inhalt;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char puffer[16384];
  while (ok) {
    const ssize_t n = ::read(fd, puffer, sizeof puffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    inhalt.append(puffer, static_cast<std::size_t>(n));
    if (inhalt.size() > hoechstens) ok = false;
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return inhalt;
}

std::optional<std::string> lesen(const std::filesystem::path& datei) {
  auto inhalt = rohLesen(datei, groessteLesbareDatei);
  if (!inhalt || !gueltigesUtf8(*inhalt)) return std::nullopt;
  return std::string(getrimmt(*inhalt));
}

void schreibenPrivat(std::string_view text, const std::filesystem::path& datei) {
  // The new content goes into a fresh 0600 file beside the old one and replaces
  // it in one rename: it is never readable under the old file's permissions,
  // and a failed write leaves the old file untouched.
  std::string vorlage = (datei.parent_path() / ("." + datei.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(vorlage.begin(), vorlage.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return;
  const bool geschrieben = ::fchmod(fd, 0600) == 0 && allesSchreiben(fd, text);
  const bool geschlossen = ::close(fd) == 0;
  if (!geschrieben || !geschlossen || ::rename(name.data(), datei.c_str()) != 0) {
    ::unlink(name.data());
    return;
  }
  ::chmod(datei.c_str(), 0600);
}

void privatenOrdnerAnlegen(const std::filesystem::path& ordner) {
  if (ordner.empty()) return;
  std::filesystem::path weg;
  for (const auto& teil : ordner) {
    weg /= teil;
    if (::mkdir(weg.c_str(), 0700) == 0) ::chmod(weg.c_str(), 0700);
  }
}

}  // namespace tw
