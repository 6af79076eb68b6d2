// How long the gate takes for a 50 MB bundle of 100 files: a full check (no
// verdict yet, or the bundle was touched), the same reading from disk, and an
// answer from the cache; and the cached answer for the bundle the build makes,
// which the menu asks about on every redraw.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <random>

#include "helfer/test_pki.h"
#include "lifecycle/signaturtor.h"

namespace tw {
namespace {

struct Welt {
  TempOrdner ordner;
  std::filesystem::path programm = ordner / "Programm.app";
  std::filesystem::path buendel = ordner / "Taler Wacht.app";
  std::unique_ptr<Codesignatur> pruefer;

  Welt() : pruefer(testpruefung(programm)) {
    buendelAnlegen(programm, produktDateien());
    buendelSignierenAls(programm, testPki().signierer("unser"));
    std::mt19937_64 zufall(7);
    std::string inhalt(500 * 1000, '\0');
    std::map<std::string, std::string> dateien;
    for (int i = 0; i < 100; ++i) {
      for (auto& c : inhalt) c = static_cast<char>(zufall());
      dateien["Contents/Resources/teil" + std::to_string(i / 10) + "/datei" + std::to_string(i)] = inhalt;
    }
    buendelAnlegen(buendel, dateien);
    buendelSignierenAls(buendel, testPki().signierer("unser"));
  }
};

Welt& welt() {
  static Welt w;
  return w;
}

void BM_FullCheck(benchmark::State& state) {
  Welt& w = welt();
  for (auto _ : state) {
    Signaturtor tor(*w.pruefer);
    tor.selbstSigniert();
    if (!tor.buendelVertrauenswuerdig(w.buendel)) state.SkipWithError("bundle refused");
  }
  state.SetBytesProcessed(state.iterations() * 50'000'000);
}
BENCHMARK(BM_FullCheck)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The same with the bundle's files dropped from the page cache first, as
// after a reboot. Only our own files are evicted.
void BM_FullCheckFromDisk(benchmark::State& state) {
  Welt& w = welt();
  for (auto _ : state) {
    state.PauseTiming();
    for (const auto& e : std::filesystem::recursive_directory_iterator(w.buendel)) {
      const int fd = ::open(e.path().c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      ::fdatasync(fd);
      ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
      ::close(fd);
    }
    Signaturtor tor(*w.pruefer);
    tor.selbstSigniert();
    state.ResumeTiming();
    if (!tor.buendelVertrauenswuerdig(w.buendel)) state.SkipWithError("bundle refused");
  }
}
BENCHMARK(BM_FullCheckFromDisk)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

void BM_FromCache(benchmark::State& state) {
  Welt& w = welt();
  Signaturtor tor(*w.pruefer);
  tor.buendelVertrauenswuerdig(w.buendel);
  for (auto _ : state) benchmark::DoNotOptimize(tor.buendelVertrauenswuerdig(w.buendel));
}
BENCHMARK(BM_FromCache)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_FromCacheBuiltBundle(benchmark::State& state) {
  static const TempOrdner ordner;
  static const std::filesystem::path gebaut = [] {
    const auto b = ordner / "Taler Wacht.app";
    std::filesystem::copy(TW_BUENDEL, b, std::filesystem::copy_options::recursive);
    buendelSignierenAls(b, testPki().signierer("unser"));
    return b;
  }();
  Signaturtor tor(*welt().pruefer);
  if (!tor.buendelVertrauenswuerdig(gebaut)) state.SkipWithError("bundle refused");
  for (auto _ : state) benchmark::DoNotOptimize(tor.buendelVertrauenswuerdig(gebaut));
}
BENCHMARK(BM_FromCacheBuiltBundle)->Unit(benchmark::kMicrosecond)->Repetitions(5);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
