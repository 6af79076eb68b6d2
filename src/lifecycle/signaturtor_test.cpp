// The gate on the real check, with the test root standing in for the maker's.
#include "lifecycle/signaturtor.h"

#include <atomic>
#include <thread>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "helfer/test_pki.h"
#include "test.h"

namespace tw {
namespace {

using Zeilen = std::vector<std::string>;

// Passes everything on and counts the bundle checks.
struct Zaehlend final : Codesignatur {
  explicit Zaehlend(std::optional<std::filesystem::path> eigenes) : echt(testpruefung(std::move(eigenes))) {}
  SignaturBefund eigenenCodePruefen(std::string_view a) const override { return echt->eigenenCodePruefen(a); }
  SignaturBefund buendelPruefen(const std::filesystem::path& b, std::string_view a) const override {
    ++pruefungen;
    return echt->buendelPruefen(b, a);
  }
  std::unique_ptr<Codesignatur> echt;
  mutable std::atomic<int> pruefungen{0};
};

struct Tor : ::testing::Test {
  fs::path buendel(const std::string& name, const char* signierer = "unser") {
    buendelAnlegen(t / name);
    if (signierer) buendelSignierenAls(t / name, testPki().signierer(signierer));
    return t / name;
  }
  TempOrdner t;
  ProtokollMitschnitt protokoll;
};

TEST_F(Tor, UnsigniertesProgrammLaesstJedesBuendelDurch) {
  Zaehlend pruefer(std::nullopt);
  Signaturtor tor(pruefer);
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(buendel("Taler Wacht.app", nullptr)));
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(t / "fehlt.app"));
  EXPECT_FALSE(tor.selbstSigniert());
  EXPECT_EQ(pruefer.pruefungen, 0);
  EXPECT_EQ(protokoll.zeilen(),
            Zeilen{"Taler Wacht: läuft unsigniert — Signaturprüfung der Bündel entfällt (Entwicklung)"});
}

TEST_F(Tor, SigniertesProgrammPrueftEinmalUndWiederNachJederAenderung) {
  Zaehlend pruefer(buendel("Programm.app"));
  Signaturtor tor(pruefer);
  EXPECT_TRUE(tor.selbstSigniert());
  // The answer with the number of checks so far.
  const auto frage = [&](const fs::path& b) {
    const std::string antwort = tor.buendelVertrauenswuerdig(b) ? "ja " : "nein ";
    return antwort + std::to_string(pruefer.pruefungen);
  };
  const auto unser = buendel("Taler Wacht.app");
  {
    std::vector<std::jthread> faeden;
    for (int i = 0; i < 8; ++i)
      faeden.emplace_back([&] { EXPECT_TRUE(tor.buendelVertrauenswuerdig(unser)); });
  }
  EXPECT_EQ(frage(unser), "ja 1") << "concurrent calls check a bundle once";
  const auto fremd = buendel("Taler Wacht 1.8.0.app", "fremd");
  EXPECT_EQ(frage(fremd), "nein 2");
  EXPECT_EQ(frage(fremd), "nein 2");
  fs::last_write_time(fremd, fs::last_write_time(fremd) + 1s);
  EXPECT_EQ(frage(fremd), "nein 3");
  // A missing bundle is refused without a word, and checked again only once it exists.
  EXPECT_EQ(frage(t / "Taler Wacht 9.app"), "nein 4");
  EXPECT_EQ(frage(t / "Taler Wacht 9.app"), "nein 4");
  EXPECT_EQ(frage(buendel("Taler Wacht 9.app")), "ja 5");
  // Edited in place, which leaves every folder's time, the file's size and its time as they were.
  const auto skript = unser / "Contents/Resources/starten";
  const auto zeit = fs::last_write_time(skript);
  std::string inhalt = rohLesen(skript, 4096).value();
  inhalt.back() ^= 1;
  dateiSchreiben(skript, inhalt);
  fs::last_write_time(skript, zeit);
  EXPECT_EQ(frage(unser), "nein 6");
  const std::string vorne = "Taler Wacht: Bündel ",
                    hinten = " nicht mit unserer Signatur — nicht gestartet (",
                    team = "Das Zertifikat gehört dem Team \"Z9Y8X7W6VU\", nicht \"K7Q2M8X4RB\".)";
  EXPECT_EQ(protokoll.zeilen(), (Zeilen{vorne + "Taler Wacht 1.8.0.app" + hinten + team,
                                        vorne + "Taler Wacht 1.8.0.app" + hinten + team,
                                        vorne + "Taler Wacht.app" + hinten +
                                            "Die Datei „Contents/Resources/starten“ wurde verändert.)"}));
}

}  // namespace
}  // namespace tw
