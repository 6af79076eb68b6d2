// The gate on the real check, with the test root standing in for the maker's.
#include "lifecycle/signaturtor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "helfer/test_pki.h"

namespace tw {
namespace {

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
  std::filesystem::path buendel(const std::string& name, const char* signierer) {
    buendelAnlegen(t / name, produktDateien());
    if (signierer) buendelSignierenAls(t / name, testPki().signierer(signierer));
    return t / name;
  }
  TempOrdner t;
  ProtokollMitschnitt protokoll;
  using Zeilen = std::vector<std::string>;
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
  Zaehlend pruefer(buendel("Programm.app", "unser"));
  Signaturtor tor(pruefer);
  EXPECT_TRUE(tor.selbstSigniert());
  const auto unser = buendel("Taler Wacht.app", "unser");
  std::atomic<int> angenommen{0};
  std::vector<std::thread> faeden;
  for (int i = 0; i < 8; ++i) faeden.emplace_back([&] { angenommen += tor.buendelVertrauenswuerdig(unser); });
  for (auto& f : faeden) f.join();
  EXPECT_EQ(angenommen, 8);
  EXPECT_EQ(pruefer.pruefungen, 1) << "concurrent calls check a bundle once";

  const auto fremd = buendel("Taler Wacht 1.8.0.app", "fremd");
  const std::string ablehnung =
      "Taler Wacht: Bündel Taler Wacht 1.8.0.app nicht mit unserer Signatur — nicht gestartet (Das "
      "Zertifikat "
      "gehört dem Team \"Z9Y8X7W6VU\", nicht \"K7Q2M8X4RB\".)";
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(fremd));
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(fremd));
  EXPECT_EQ(pruefer.pruefungen, 2) << "the second answer comes from the cache";
  std::filesystem::last_write_time(fremd, std::filesystem::last_write_time(fremd) + std::chrono::seconds(1));
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(fremd));
  EXPECT_EQ(pruefer.pruefungen, 3);
  EXPECT_EQ(protokoll.zeilen(), (Zeilen{ablehnung, ablehnung}));

  // A missing bundle is refused without a word, and checked again only once it exists.
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(t / "Taler Wacht 9.app"));
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(t / "Taler Wacht 9.app"));
  EXPECT_EQ(pruefer.pruefungen, 4);
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(buendel("Taler Wacht 9.app", "unser")));
  EXPECT_EQ(protokoll.zeilen().size(), 2u);

  // Edited in place, which leaves every folder's time, the file's size and its time as they were.
  const auto skript = unser / "Contents/Resources/starten";
  const auto zeit = std::filesystem::last_write_time(skript);
  std::string inhalt = rohLesen(skript, 4096).value();
  inhalt.back() ^= 1;
  dateiSchreiben(skript, inhalt);
  std::filesystem::last_write_time(skript, zeit);
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(unser));
  EXPECT_NE(protokoll.zeilen().back().find("(Die Datei „Contents/Resources/starten“ wurde verändert.)"),
            std::string::npos);
}

}  // namespace
}  // namespace tw
