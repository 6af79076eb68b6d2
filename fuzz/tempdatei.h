#pragma once
// Some readers only take a path. Each input goes into one in-memory file per
// fuzzing process, opened again by its /proc path: a disk file rewritten per
// input would wait for the disk on every run.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace tw {

class Tempdatei {
 public:
  explicit Tempdatei(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    pfad_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~Tempdatei() { ::close(fd_); }

  const std::filesystem::path& schreiben(std::string_view inhalt) const {
    if (::ftruncate(fd_, 0) != 0 ||
        ::pwrite(fd_, inhalt.data(), inhalt.size(), 0) != static_cast<ssize_t>(inhalt.size()))
      std::abort();
    return pfad_;
  }

 private:
  int fd_;
  std::filesystem::path pfad_;
};

}  // namespace tw
