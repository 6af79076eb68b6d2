#include "platform/linux/glib_schleife.h"

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <thread>

namespace tw {

using namespace std::chrono_literals;

TEST(GlibSchleife, WeckerHintergrundUndSignaleLaufenAufDerHauptschleife) {
  GlibSchleife schleife;
  const auto haupt = std::this_thread::get_id();
  std::vector<std::string> folge;
  int wiederholt = 0;
  bool ueberallHaupt = true;
  auto notiere = [&](std::string was) {
    ueberallHaupt = ueberallHaupt && std::this_thread::get_id() == haupt;
    folge.push_back(std::move(was));
  };
  const auto abgebrochen = schleife.spaeter(20ms, [&] { notiere("abgebrochen"); });
  schleife.spaeter(60ms, [&] { notiere("spaet"); });
  schleife.spaeter(10ms, [&] { notiere("frueh"); });
  schleife.abbrechen(abgebrochen);
  WeckerId uhr = 0;
  uhr = schleife.wiederholen(5ms, [&] {
    if (++wiederholt == 3) schleife.abbrechen(uhr);
  });
  std::string hintergrund;
  schleife.imHintergrund(Dringlichkeit::hilfsarbeit, [&] {
    const bool daneben = std::this_thread::get_id() != haupt;
    schleife.posten([&, daneben] {
      ueberallHaupt = ueberallHaupt && std::this_thread::get_id() == haupt;
      hintergrund = daneben ? "daneben" : "auf der Hauptschleife";
    });
  });
  schleife.beiSignal(SIGUSR1, [&] { notiere("signal"); });
  schleife.spaeter(30ms, [] { std::raise(SIGUSR1); });
  schleife.spaeter(100ms, [&] { schleife.beenden(); });
  schleife.laufen();
  EXPECT_EQ(folge, (std::vector<std::string>{"frueh", "signal", "spaet"}));
  EXPECT_EQ(hintergrund, "daneben");
  EXPECT_EQ(wiederholt, 3);
  EXPECT_TRUE(ueberallHaupt);
}

TEST(Arbeiterpool, DringendesZuerstWennAlleBeschaeftigtSind) {
  std::vector<std::string> folge;
  std::promise<void> frei;
  std::promise<void> fertig;
  {
    Arbeiterpool pool(1);
    auto freigabe = frei.get_future().share();
    pool.einreihen(Dringlichkeit::hilfsarbeit, [freigabe] { freigabe.wait(); });
    pool.einreihen(Dringlichkeit::hilfsarbeit, [&] { folge.push_back("nebenbei"); });
    pool.einreihen(Dringlichkeit::nutzer, [&] { folge.push_back("dringend"); });
    pool.einreihen(Dringlichkeit::hilfsarbeit, [&] { fertig.set_value(); });
    frei.set_value();
    fertig.get_future().wait();
  }
  EXPECT_EQ(folge, (std::vector<std::string>{"dringend", "nebenbei"}));
}

}  // namespace tw
