#include "helfer/kindprozess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <sstream>
#include <thread>

extern char** environ;

namespace tw {

Kindprozess::Kindprozess(const Start& start) {
  std::vector<std::string> eintraege;
  for (char** e = environ; *e; ++e) {
    const std::string eintrag(*e), name = eintrag.substr(0, eintrag.find('='));
    if (!start.umgebung.contains(name) && std::ranges::count(start.ohne, name) == 0)
      eintraege.push_back(eintrag);
  }
  for (const auto& [name, wert] : start.umgebung) eintraege.push_back(name + "=" + wert);
  std::vector<char*> argv, envp;
  for (const auto& a : start.argumente) argv.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : eintraege) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  posix_spawn_file_actions_t aktionen;
  posix_spawn_file_actions_init(&aktionen);
  posix_spawn_file_actions_addopen(&aktionen, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&aktionen, 1, (ordner_ / "aus").c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&aktionen, 2, (ordner_ / "fehler").c_str(), O_WRONLY | O_CREAT, 0600);
  if (start.ordner) posix_spawn_file_actions_addchdir_np(&aktionen, start.ordner->c_str());
  posix_spawnattr_t attribute;
  posix_spawnattr_init(&attribute);
  posix_spawnattr_setflags(&attribute, POSIX_SPAWN_SETPGROUP);
  const int fehler = ::posix_spawn(&pid_, argv[0], &aktionen, &attribute, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&aktionen);
  posix_spawnattr_destroy(&attribute);
  if (fehler != 0) throw std::runtime_error("posix_spawn " + start.argumente.at(0));
}

Kindprozess::~Kindprozess() {
  ::kill(-pid_, SIGKILL);
  if (!status_) ::waitpid(pid_, nullptr, 0);
}

std::optional<int> Kindprozess::warten(std::chrono::milliseconds frist) {
  bisZu(frist, [this] {
    int status = 0;
    if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
    return status_.has_value();
  });
  return status_;
}

std::string Kindprozess::text(const char* name) const {
  std::ostringstream inhalt;
  inhalt << std::ifstream(ordner_ / name, std::ios::binary).rdbuf();
  return inhalt.str();
}

std::map<std::string, std::string> umgebung(const std::filesystem::path& heim,
                                            const std::filesystem::path& zustand, const std::string& port) {
  std::map<std::string, std::string> u{
      {"HOME", heim}, {"XDG_CONFIG_HOME", heim / ".config"}, {"XDG_DATA_HOME", heim / ".local/share"}};
  if (!zustand.empty()) u["GELD_BOTE_ZUSTAND"] = zustand;
  if (!port.empty()) u["GELD_BOTE_PORT"] = port;
  return u;
}

int bereitePort(Kindprozess& server) {
  std::string zeile;
  bisZu(std::chrono::seconds(10), [&] {
    zeile = server.ausgabe();
    return zeile.find('\n') != std::string::npos || !server.laeuft();
  });
  return zeile.starts_with("bereit ") ? std::atoi(zeile.c_str() + 7) : 0;
}

bool endeteMit(std::optional<int> status, int code) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

bool bisZu(std::chrono::milliseconds frist, const std::function<bool()>& bedingung) {
  const auto ende = std::chrono::steady_clock::now() + frist;
  while (!bedingung()) {
    if (std::chrono::steady_clock::now() >= ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds{10});
  }
  return true;
}

std::map<std::string, std::string> namensWerte(const Start& start) {
  Kindprozess kind(start);
  EXPECT_TRUE(endeteMit(kind.warten(std::chrono::seconds{10}), 0)) << kind.fehler();
  std::map<std::string, std::string> werte;
  std::istringstream zeilen(kind.ausgabe());
  for (std::string z; std::getline(zeilen, z);) werte[z.substr(0, z.find('='))] = z.substr(z.find('=') + 1);
  return werte;
}

}  // namespace tw
