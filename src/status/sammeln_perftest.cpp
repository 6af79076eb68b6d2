// How long one collection takes with a program page and eight instance pages
// served by real stand-in processes, and with one instance that does not answer.

#include <benchmark/benchmark.h>
#include <signal.h>

#include <iostream>
#include <memory>

#include "helfer/kindprozess.h"
#include "helfer/roh_server.h"
#include "helfer/temp_ordner.h"
#include "status/sammeln.h"

namespace tw {
namespace {

struct Welt {
  TempOrdner ordner;
  Sammelquellen q;
  std::vector<std::unique_ptr<Kindprozess>> server;

  Welt() {
    q.zustandOrdner = ordner / "zustand";
    q.konfigOrdner = ordner / "heim/.config/geld-bote-demo";
    q.port = std::to_string(freierPort());
    q.eigeneFassung = "1.7.2_demo";
    starten("--programm");
    for (int i = 0; i < 8; ++i) starten("--instanz");
  }

  Kindprozess& starten(const char* rolle) {
    auto& k = server.emplace_back(
        std::make_unique<Kindprozess>(Start{{TW_GELD_BOTE, rolle},
                                            {{"HOME", (ordner / "heim").string()},
                                             {"GELD_BOTE_ZUSTAND", q.zustandOrdner.string()},
                                             {"GELD_BOTE_PORT", *q.port}}}));
    if (bereitePort(*k) == 0) std::cerr << "stand-in did not come up: " << k->fehler() << '\n';
    return *k;
  }
};

Welt& welt() {
  static Welt w;
  return w;
}

void pruefen(benchmark::State& state, const Zustand& z, std::size_t seiten) {
  if (z.seiten.size() != seiten || z.eigeneSeiten.size() != 9) state.SkipWithError("unexpected snapshot");
}

void BM_AllAnswer(benchmark::State& state) {
  Welt& w = welt();
  for (auto _ : state) pruefen(state, sammeln(w.q), 9);
}
BENCHMARK(BM_AllAnswer)->Unit(benchmark::kMillisecond)->Repetitions(10);

// A live own process whose port refuses connections.
void BM_OneRefusing(benchmark::State& state) {
  Welt& w = welt();
  Kindprozess& toter = w.starten("--instanz");
  ::kill(toter.pid(), SIGSTOP);
  const auto datei = w.q.zustandOrdner / "instanzen" / (std::to_string(toter.pid()) + ".port");
  dateiSchreiben(datei, std::to_string(freierPort()));
  for (auto _ : state) pruefen(state, sammeln(w.q), 10);
  ::kill(toter.pid(), SIGKILL);
  std::filesystem::remove(datei);
}
BENCHMARK(BM_OneRefusing)->Unit(benchmark::kMillisecond)->Repetitions(10);

// A stopped process: the kernel accepts, nobody answers, the request runs into its time limit.
void BM_OneHanging(benchmark::State& state) {
  Welt& w = welt();
  Kindprozess& haengt = w.starten("--instanz");
  ::kill(haengt.pid(), SIGSTOP);
  for (auto _ : state) pruefen(state, sammeln(w.q), 10);
  ::kill(haengt.pid(), SIGKILL);
}
BENCHMARK(BM_OneHanging)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
