// How long one redraw of the menu takes on the main loop: the two start-script
// searches with a warm signature cache, the small file reads and building
// the menu value.

#include <benchmark/benchmark.h>

#include "helfer/steuerungswelt.h"
#include "helfer/test_pki.h"
#include "lifecycle/signaturtor.h"

namespace tw {
namespace {

struct Welt {
  TempOrdner ordner;
  std::filesystem::path programm = ordner / "Taler Wacht.app";
  std::unique_ptr<Codesignatur> pruefer;
  Signaturtor tor;
  Steuerungswelt steuerung;

  Welt() : pruefer(testpruefung(programm)), tor(*pruefer) {
    auto dateien = produktDateien();
    dateien["Contents/Resources/starten"] = "#!/bin/bash\n";
    buendelAnlegen(programm, dateien);
    buendelSignierenAls(programm, testPki().signierer("unser"));
    steuerung.dienste.imBuendel = true;
    steuerung.dienste.skriptSuchen = [this] {
      return skriptSuchen(
          Suchquellen{programm, {}, [this](const auto& b) { return tor.buendelVertrauenswuerdig(b); }});
    };
    dateiSchreiben(steuerung.dienste.konfigOrdner / "autostart", "ja\n");
    Zustand z = laufend("offen");
    z.restminuten = 42;
    z.adresse = "https://a.example/chat";
    z.claudePorts = {40001};
    z.eigeneSeiten = {*Url::aus("http://127.0.0.1:8858/t/k/")};
    steuerung.starten();
    steuerung.runde(z);
  }
};

void BM_Zeichnen(benchmark::State& state) {
  static Welt w;
  Steuerung& s = *w.steuerung.steuerung;
  s.zeichnen();  // each repetition starts with the recorder cleared
  if (!s.zustand().programmLaeuft || w.steuerung.anzeige.letzte().zeilen.size() < 15) {
    state.SkipWithError("unexpected menu");
  }
  for (auto _ : state) {
    s.zeichnen();
    w.steuerung.anzeige.gezeigt.clear();
  }
}
BENCHMARK(BM_Zeichnen)->Unit(benchmark::kMicrosecond)->Repetitions(5);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
