// How long the refresh's question "is a passphrase remembered?" takes
// against the real gnome-keyring of the test world: median and worst of 100
// calls with a warm connection.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "fakes/protokoll_mitschnitt.h"
#include "platform/linux/libsecret_schluesselbund.h"
#include "vault/passphrase.h"

namespace tw {
namespace {

void BM_PassphraseGemerkt(benchmark::State& state) {
  ProtokollMitschnitt still;  // remembering logs that there is no protected place
  LibsecretSchluesselbund bund;
  passphraseMerken(bund, Geheimnis("messwert"));
  if (passphraseGemerkt(bund) != Gemerkt::ja) state.SkipWithError("no keyring to measure");
  std::vector<double> dauern;
  for (auto _ : state) {
    const auto beginn = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(passphraseGemerkt(bund));
    dauern.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - beginn).count());
  }
  (void)passphraseVergessen(bund);
  if (dauern.empty()) return;
  std::sort(dauern.begin(), dauern.end());
  state.counters["median_us"] = dauern[dauern.size() / 2];
  state.counters["worst_us"] = dauern.back();
}
BENCHMARK(BM_PassphraseGemerkt)->Iterations(100)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
