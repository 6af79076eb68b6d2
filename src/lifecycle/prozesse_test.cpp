#include "lifecycle/prozesse.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/kindprozess.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using Zeilen = std::vector<std::string>;

// Waits until the child has exec'd its program and the kernel shows its
// arguments (for a moment after exec, the path is new but the arguments are not).
void gestartet(Kindprozess& kind, const std::string& programm) {
  ASSERT_TRUE(bisZu(5s, [&] {
    return prozessPfad(kind.pid()).value_or("").find(programm) != std::string::npos &&
           prozessArgumente(kind.pid()).size() > 1;
  }));
}

std::string nichtUnser(pid_t pid, const std::string& pfad) {
  return "Taler Wacht: Prozess " + std::to_string(pid) + " ist nicht unser (" + pfad + ") — nicht beendet";
}

TEST(Prozesse, LebtPfadUndArgumenteOhneLeereUndKaputte) {
  for (pid_t pid : {0, -5}) EXPECT_FALSE(lebt(pid) || prozessPfad(pid));
  EXPECT_TRUE(lebt(1) && lebt(::getpid()));
  EXPECT_EQ(prozessPfad(::getpid()), std::filesystem::read_symlink("/proc/self/exe").string());
  Kindprozess kind({{"/bin/bash", "-c", "sleep 30; :", "", "\xFF\xFE", "ende"}, {{"TW_MARKE", "da"}}});
  gestartet(kind, "bash");
  auto stuecke = prozessArgumente(kind.pid());
  ASSERT_GE(stuecke.size(), 5u);
  EXPECT_EQ(stuecke[0], *prozessPfad(kind.pid()));
  EXPECT_EQ(Zeilen(stuecke.begin() + 1, stuecke.begin() + 5),
            (Zeilen{"/bin/bash", "-c", "sleep 30; :", "ende"}));
  EXPECT_EQ(std::ranges::count(stuecke, "TW_MARKE=da"), 1);
  EXPECT_EQ(std::ranges::count(stuecke, ""), 0);
  ::kill(kind.pid(), SIGKILL);
  kind.warten(5s);
  EXPECT_FALSE(lebt(kind.pid()) || prozessPfad(kind.pid()));
}

TEST(Prozesse, UnserNachPfadOderInterpreterArgumentenUndNurUnsereBeendet) {
  TempOrdner t;
  std::filesystem::copy_file("/bin/sleep", t / "geld-bote");
  const struct {
    Start start;
    const char* programm;
    bool unser;
  } faelle[] = {
      {{{t / "geld-bote", "30"}}, "geld-bote", true},
      {{{"/bin/sleep", "30"}}, "sleep", false},
      {{{"/bin/bash", "-c", "sleep 30; :", "geld-bote"}}, "bash", true},
      {{{"/bin/sh", "-c", "sleep 30; :", "geld-bote"}}, "sh", true},  // dash on Debian
      // The environment names us; python3 runs as python3.x.
      {{{"/usr/bin/python3", "-c", "import time; time.sleep(30)"}, {{"ZIEL", "Taler Wacht"}}},
       "python3",
       true},
      {{{"/usr/bin/perl", "-e", "sleep 30", "geld-bote"}, {{"ZIEL", "Taler Wacht"}}}, "perl", false},
  };
  std::vector<std::unique_ptr<Kindprozess>> kinder;
  for (const auto& f : faelle) {
    gestartet(*kinder.emplace_back(std::make_unique<Kindprozess>(f.start)), f.programm);
    EXPECT_EQ(prozessIstUnser(kinder.back()->pid()), f.unser) << f.programm;
  }
  EXPECT_FALSE(prozessIstUnser(0));

  ProtokollMitschnitt protokoll;
  Kindprozess &eigener = *kinder[0], &fremder = *kinder[1];
  for (pid_t pid : {eigener.pid(), fremder.pid(), ::getpid(), 0}) unserenBeenden(pid);
  const auto status = eigener.warten(5s);
  EXPECT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
  EXPECT_TRUE(fremder.laeuft());
  EXPECT_EQ(protokoll.zeilen(), Zeilen{nichtUnser(fremder.pid(), *prozessPfad(fremder.pid()))});
}

TEST(Prozesse, AndererNutzerIstNieUnser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process as another user";
  TempOrdner t;
  ::chmod(t.pfad().c_str(), 0755);
  std::filesystem::copy_file("/bin/sleep", t / "geld-bote");
  Kindprozess kind(
      {{"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", t / "geld-bote", "30"}});
  ASSERT_TRUE(bisZu(5s, [&] {
    struct stat st {};
    return ::stat(("/proc/" + std::to_string(kind.pid())).c_str(), &st) == 0 && st.st_uid != 0;
  }));
  ProtokollMitschnitt protokoll;
  EXPECT_FALSE(prozessIstUnser(kind.pid()));
  unserenBeenden(kind.pid());
  EXPECT_TRUE(kind.laeuft());
  EXPECT_EQ(protokoll.zeilen(), Zeilen{nichtUnser(kind.pid(), "?")});
}

}  // namespace
}  // namespace tw
