#include "lifecycle/bash_starten.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "app/protokoll.h"

extern char** environ;

namespace tw {

std::optional<std::string> bashStarten(const std::filesystem::path& skript,
                                       const std::vector<std::string>& argumente, bool warten) {
  std::vector<std::string> alle{"/bin/bash", skript.string()};
  alle.insert(alle.end(), argumente.begin(), argumente.end());
  std::vector<char*> zeiger;
  for (auto& a : alle) zeiger.push_back(a.data());
  zeiger.push_back(nullptr);

  posix_spawn_file_actions_t aktionen;
  posix_spawn_file_actions_init(&aktionen);
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&aktionen, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  // The child must not inherit the app's signal setup (SIGTERM is ignored here).
  posix_spawnattr_t attribute;
  posix_spawnattr_init(&attribute);
  sigset_t vorgabe, leer;
  sigemptyset(&vorgabe);
  sigaddset(&vorgabe, SIGTERM);
  sigemptyset(&leer);
  posix_spawnattr_setsigdefault(&attribute, &vorgabe);
  posix_spawnattr_setsigmask(&attribute, &leer);
  posix_spawnattr_setflags(&attribute, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  const int fehler = posix_spawn(&pid, "/bin/bash", &aktionen, &attribute, zeiger.data(), environ);
  posix_spawn_file_actions_destroy(&aktionen);
  posix_spawnattr_destroy(&attribute);
  if (fehler != 0) return std::string(std::strerror(fehler));

  // Reaped when it ends, so that it leaves no zombie, also when nobody waits any more.
  auto ende = std::make_shared<std::promise<void>>();
  auto beendet = ende->get_future();
  std::thread([pid, ende] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ende->set_value();
  }).detach();
  // A script that hangs must not freeze the menu that waits for it.
  if (warten && beendet.wait_for(laengstesWarten) == std::future_status::timeout) {
    protokollieren("Startskript läuft nach " + std::to_string(laengstesWarten.count()) +
                   " s noch — nicht länger gewartet");
  }
  return std::nullopt;
}

}  // namespace tw
