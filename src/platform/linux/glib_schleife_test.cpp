#include "platform/linux/glib_schleife.h"

#include <csignal>
#include <future>
#include <thread>

#include "test.h"

namespace tw {

TEST(GlibSchleife, WeckerHintergrundUndSignaleLaufenAufDerHauptschleife) {
  GlibSchleife schleife;
  const auto haupt = std::this_thread::get_id();
  // Each callback, marked when it ran off the main thread.
  std::vector<std::string> folge;
  auto notiere = [&](std::string was) {
    folge.push_back(was + (std::this_thread::get_id() == haupt ? "" : "!"));
  };
  schleife.abbrechen(schleife.spaeter(20ms, [&] { notiere("abgebrochen"); }));
  schleife.spaeter(60ms, [&] { notiere("spaet"); });
  schleife.spaeter(10ms, [&] { notiere("frueh"); });
  int wiederholt = 0;
  const WeckerId uhr = schleife.wiederholen(5ms, [&] {
    if (++wiederholt == 3) schleife.abbrechen(uhr);
  });
  std::string hintergrund;
  schleife.imHintergrund(Dringlichkeit::hilfsarbeit, [&] {
    const bool daneben = std::this_thread::get_id() != haupt;
    schleife.posten(
        [&, daneben] { hintergrund = daneben && std::this_thread::get_id() == haupt ? "ok" : "falsch"; });
  });
  schleife.beiSignal(SIGUSR1, [&] { notiere("signal"); });
  schleife.spaeter(30ms, [] { std::raise(SIGUSR1); });
  schleife.spaeter(100ms, [&] { schleife.beenden(); });
  schleife.laufen();
  EXPECT_EQ(std::tuple(folge, hintergrund, wiederholt),
            std::tuple(std::vector<std::string>{"frueh", "signal", "spaet"}, "ok", 3));
}

TEST(Arbeiterpool, DringendesZuerstWennAlleBeschaeftigtSind) {
  std::vector<std::string> folge;
  std::promise<void> frei, fertig;
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
