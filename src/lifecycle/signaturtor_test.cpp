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

class Tor : public ::testing::Test {
 protected:
  std::filesystem::path buendel(const std::string& name, const char* signierer) {
    const auto b = t / name;
    buendelAnlegen(b, produktDateien());
    if (signierer) buendelSignierenAls(b, testPki().signierer(signierer));
    return b;
  }
  void beruehren(const std::filesystem::path& b) {
    std::filesystem::last_write_time(b, std::filesystem::last_write_time(b) + std::chrono::seconds(1));
  }

  TempOrdner t;
  ProtokollMitschnitt protokoll;
};

TEST_F(Tor, UnsigniertesProgrammLaesstJedesBuendelDurch) {
  Zaehlend pruefer(std::nullopt);
  Signaturtor tor(pruefer);
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(buendel("Taler Wacht.app", nullptr)));
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(buendel("Taler Wacht 2.app", "fremd")));
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(t / "fehlt.app"));
  EXPECT_FALSE(tor.selbstSigniert());
  EXPECT_EQ(pruefer.pruefungen, 0);
  EXPECT_EQ(protokoll.zeilen(),
            std::vector<std::string>{
                "Taler Wacht: läuft unsigniert — Signaturprüfung der Bündel entfällt (Entwicklung)"});
}

TEST_F(Tor, SigniertesProgrammPrueftUndMerktSichDasUrteil) {
  Zaehlend pruefer(buendel("Programm.app", "unser"));
  Signaturtor tor(pruefer);
  EXPECT_TRUE(tor.selbstSigniert());
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(buendel("Taler Wacht.app", "unser")));

  const auto fremd = buendel("Taler Wacht 1.8.0.app", "fremd");
  const std::string ablehnung =
      "Taler Wacht: Bündel Taler Wacht 1.8.0.app nicht mit unserer Signatur — nicht gestartet (Das "
      "Zertifikat "
      "gehört dem Team \"Z9Y8X7W6VU\", nicht \"K7Q2M8X4RB\".)";
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(fremd));
  EXPECT_EQ(protokoll.zeilen(), std::vector<std::string>{ablehnung});
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(fremd));
  EXPECT_EQ(pruefer.pruefungen, 2) << "the second answer comes from the cache";
  EXPECT_EQ(protokoll.zeilen().size(), 1u);

  beruehren(fremd);
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(fremd));
  EXPECT_EQ(pruefer.pruefungen, 3);
  EXPECT_EQ(protokoll.zeilen(), (std::vector<std::string>{ablehnung, ablehnung}));

  // A missing bundle is refused without a word, and checked again only once it exists.
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(t / "Taler Wacht 9.app"));
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(t / "Taler Wacht 9.app"));
  EXPECT_EQ(pruefer.pruefungen, 4);
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(buendel("Taler Wacht 9.app", "unser")));
  EXPECT_EQ(protokoll.zeilen().size(), 2u);
}

TEST_F(Tor, EinImInnerenGeaendertesBuendelWirdNeuGeprueft) {
  Zaehlend pruefer(buendel("Programm.app", "unser"));
  Signaturtor tor(pruefer);
  const auto b = buendel("Taler Wacht.app", "unser");
  EXPECT_TRUE(tor.buendelVertrauenswuerdig(b));
  // Edited in place, which leaves every folder's time as it was; even the
  // file's size and modification time stay.
  const auto skript = b / "Contents/Resources/starten";
  const auto zeit = std::filesystem::last_write_time(skript);
  std::string inhalt = rohLesen(skript, 4096).value();
  inhalt.back() ^= 1;
  dateiSchreiben(skript, inhalt);
  std::filesystem::last_write_time(skript, zeit);
  EXPECT_FALSE(tor.buendelVertrauenswuerdig(b));
  ASSERT_EQ(protokoll.zeilen().size(), 1u);
  EXPECT_NE(protokoll.zeilen()[0].find("(Die Datei „Contents/Resources/starten“ wurde verändert.)"),
            std::string::npos);
}

TEST_F(Tor, GleichzeitigeAufrufePruefenEinBuendelEinmal) {
  Zaehlend pruefer(buendel("Programm.app", "unser"));
  Signaturtor tor(pruefer);
  const auto b = buendel("Taler Wacht.app", "unser");
  std::atomic<int> angenommen{0};
  std::vector<std::thread> faeden;
  for (int i = 0; i < 8; ++i) faeden.emplace_back([&] { angenommen += tor.buendelVertrauenswuerdig(b); });
  for (auto& f : faeden) f.join();
  EXPECT_EQ(angenommen, 8);
  EXPECT_EQ(pruefer.pruefungen, 1);
}

}  // namespace
}  // namespace tw
