#include "lifecycle/prozesse.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "fakes/protokoll_mitschnitt.h"
#include "test.h"

namespace tw {
namespace {

using Zeilen = std::vector<std::string>;

std::string nichtUnser(pid_t pid, const std::string& pfad) {
  return "Taler Wacht: Prozess " + std::to_string(pid) + " ist nicht unser (" + pfad + ") — nicht beendet";
}

TEST(Prozesse, UnserNachPfadOderInterpreterArgumentenUndNurUnsereBeendet) {
  for (pid_t pid : {0, -5}) EXPECT_FALSE(lebt(pid) || prozessPfad(pid) || prozessIstUnser(pid));
  EXPECT_TRUE(lebt(1) && lebt(::getpid()));
  EXPECT_EQ(prozessPfad(::getpid()), fs::read_symlink("/proc/self/exe").string());
  TempOrdner t;
  ::chmod(t.pfad().c_str(), 0755);
  fs::copy_file("/bin/sleep", t / "geld-bote");
  struct Fall {
    const char* programm;
    bool unser;
    Start start;
  };
  std::vector<Fall> faelle{
      {"geld-bote", true, {{t / "geld-bote", "30"}}},
      {"sleep", false, {{"/bin/sleep", "30"}}},
      // Empty and broken arguments are left out.
      {"bash", true, {{"/bin/bash", "-c", "sleep 30; :", "", "\xFF\xFE", "geld-bote"}, {{"TW_MARKE", "da"}}}},
      {"sh", true, {{"/bin/sh", "-c", "sleep 30; :", "geld-bote"}}},  // dash on Debian
      // The environment names us; python3 runs as python3.x.
      {"python3", true, {{"/usr/bin/python3", "-c", "import time; time.sleep(30)"}, {{"Z", "Taler Wacht"}}}},
      {"perl", false, {{"/usr/bin/perl", "-e", "sleep 30", "geld-bote"}, {{"Z", "Taler Wacht"}}}},
  };
  // Another user's process is never ours, whatever its name; it shows no path.
  if (::geteuid() == 0)
    faelle.push_back({"geld-bote",
                      false,
                      {{"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                        t / "geld-bote", "30"}}});
  std::vector<std::unique_ptr<Kindprozess>> kinder;
  Zeilen meldungen;
  for (const auto& f : faelle) {
    const pid_t pid = kinder.emplace_back(std::make_unique<Kindprozess>(f.start))->pid();
    // Until the program is exec'd and the kernel shows its arguments (for a moment after exec,
    // the path is new but the arguments are not); another user's process shows neither.
    ASSERT_TRUE(bisZu(5s, [&] {
      const auto pfad = prozessPfad(pid);
      return pfad ? pfad->find(f.programm) != std::string::npos && prozessArgumente(pid).size() > 1
                  : lebt(pid);
    }));
    EXPECT_EQ(prozessIstUnser(pid), f.unser) << f.programm;
    if (!f.unser) meldungen.push_back(nichtUnser(pid, prozessPfad(pid).value_or("?")));
  }
  auto stuecke = prozessArgumente(kinder[2]->pid());
  ASSERT_GE(stuecke.size(), 5u);
  EXPECT_EQ(Zeilen(stuecke.begin(), stuecke.begin() + 5),
            (Zeilen{*prozessPfad(kinder[2]->pid()), "/bin/bash", "-c", "sleep 30; :", "geld-bote"}));
  EXPECT_EQ(std::ranges::count(stuecke, "TW_MARKE=da"), 1);
  EXPECT_EQ(std::ranges::count(stuecke, ""), 0);

  // Ours end by SIGTERM, the others are named and spared.
  ProtokollMitschnitt protokoll;
  for (const auto& kind : kinder) unserenBeenden(kind->pid());
  for (pid_t pid : {::getpid(), 0}) unserenBeenden(pid);
  const auto status = kinder[0]->warten(5s);
  EXPECT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
  EXPECT_FALSE(lebt(kinder[0]->pid()) || prozessPfad(kinder[0]->pid()));
  EXPECT_TRUE(kinder[1]->laeuft() && kinder.back()->laeuft());
  EXPECT_EQ(protokoll.zeilen(), meldungen);
}

}  // namespace
}  // namespace tw
