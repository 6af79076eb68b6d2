#include "lifecycle/prozesse.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "fakes/protokoll_mitschnitt.h"
#include "helfer/kindprozess.h"
#include "helfer/temp_ordner.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

bool enthaelt(const std::vector<std::string>& liste, const std::string& wert) {
  return std::find(liste.begin(), liste.end(), wert) != liste.end();
}

// Waits until the child has exec'd its program and the kernel shows its
// arguments (for a moment after exec, the path is new but the arguments are not).
void gestartet(Kindprozess& kind, const std::string& programm) {
  ASSERT_TRUE(bisZu(5s, [&] {
    return prozessPfad(kind.pid()).value_or("").find(programm) != std::string::npos &&
           prozessArgumente(kind.pid()).size() > 1;
  }));
}

}  // namespace

TEST(Prozesse, LebtUndPfad) {
  EXPECT_FALSE(lebt(0));
  EXPECT_FALSE(lebt(-5));
  EXPECT_TRUE(lebt(1));
  EXPECT_TRUE(lebt(::getpid()));
  Kindprozess kind({{"/bin/true"}});
  kind.warten(5s);
  EXPECT_FALSE(lebt(kind.pid()));
  EXPECT_EQ(prozessPfad(::getpid()), std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_FALSE(prozessPfad(kind.pid()));
}

TEST(Prozesse, ArgumenteMitPfadUndUmgebungOhneLeereUndKaputte) {
  Kindprozess kind({{"/bin/bash", "-c", "sleep 30; :", "", "\xFF\xFE", "ende"}, {{"TW_MARKE", "da"}}});
  gestartet(kind, "bash");
  const auto stuecke = prozessArgumente(kind.pid());
  ASSERT_GE(stuecke.size(), 5u);
  EXPECT_EQ(stuecke[0], *prozessPfad(kind.pid()));
  EXPECT_EQ(std::vector<std::string>(stuecke.begin() + 1, stuecke.begin() + 5),
            (std::vector<std::string>{"/bin/bash", "-c", "sleep 30; :", "ende"}));
  EXPECT_TRUE(enthaelt(stuecke, "TW_MARKE=da"));
  EXPECT_FALSE(enthaelt(stuecke, ""));
}

TEST(Prozesse, UnserNachPfadOderInterpreterArgumentenUndNurUnsereBeendet) {
  TempOrdner t;
  std::filesystem::copy_file("/bin/sleep", t / "geld-bote");
  Kindprozess eigener({{(t / "geld-bote").string(), "30"}});
  Kindprozess fremder({{"/bin/sleep", "30"}});
  Kindprozess bash({{"/bin/bash", "-c", "sleep 30; :", "geld-bote"}});
  Kindprozess sh({{"/bin/sh", "-c", "sleep 30; :", "geld-bote"}});  // dash on Debian
  Kindprozess python({{"/usr/bin/python3", "-c", "import time; time.sleep(30)"}, {{"ZIEL", "Taler Wacht"}}});
  Kindprozess perl({{"/usr/bin/perl", "-e", "sleep 30", "geld-bote"}, {{"ZIEL", "Taler Wacht"}}});
  gestartet(eigener, "geld-bote");
  gestartet(fremder, "sleep");
  gestartet(bash, "bash");
  gestartet(sh, "sh");
  gestartet(python, "python3");
  gestartet(perl, "perl");
  EXPECT_TRUE(prozessIstUnser(eigener.pid()));
  EXPECT_FALSE(prozessIstUnser(fremder.pid()));
  EXPECT_TRUE(prozessIstUnser(bash.pid()));
  EXPECT_TRUE(prozessIstUnser(sh.pid())) << *prozessPfad(sh.pid());
  EXPECT_TRUE(prozessIstUnser(python.pid())) << "the environment names us; python3 runs as python3.x";
  EXPECT_FALSE(prozessIstUnser(perl.pid())) << "perl is no interpreter of ours";
  EXPECT_FALSE(prozessIstUnser(0));

  ProtokollMitschnitt protokoll;
  for (pid_t pid : {eigener.pid(), fremder.pid(), ::getpid(), 0}) unserenBeenden(pid);
  const auto status = eigener.warten(5s);
  EXPECT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
  EXPECT_TRUE(fremder.laeuft());
  EXPECT_EQ(
      protokoll.zeilen(),
      std::vector<std::string>{"Taler Wacht: Prozess " + std::to_string(fremder.pid()) +
                               " ist nicht unser (" + *prozessPfad(fremder.pid()) + ") — nicht beendet"});
}

TEST(Prozesse, AndererNutzerIstNieUnser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process as another user";
  TempOrdner t;
  ::chmod(t.pfad().c_str(), 0755);
  std::filesystem::copy_file("/bin/sleep", t / "geld-bote");
  Kindprozess kind({{"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                     (t / "geld-bote").string(), "30"}});
  ASSERT_TRUE(bisZu(5s, [&] {
    struct stat st {};
    return ::stat(("/proc/" + std::to_string(kind.pid())).c_str(), &st) == 0 && st.st_uid != 0;
  }));
  ProtokollMitschnitt protokoll;
  EXPECT_FALSE(prozessIstUnser(kind.pid()));
  unserenBeenden(kind.pid());
  EXPECT_TRUE(kind.laeuft());
  EXPECT_EQ(protokoll.zeilen(),
            std::vector<std::string>{"Taler Wacht: Prozess " + std::to_string(kind.pid()) +
                                     " ist nicht unser (?) — nicht beendet"});
}

}  // namespace tw
