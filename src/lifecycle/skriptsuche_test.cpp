#include "lifecycle/skriptsuche.h"

#include <gtest/gtest.h>

#include "helfer/kindprozess.h"
#include "helfer/test_pki.h"

namespace tw {
namespace {

// A signed program, with the test root as the maker's.
class Suche : public ::testing::Test {
 protected:
  std::filesystem::path kopie(const std::filesystem::path& ordner, const std::string& name,
                              const char* signierer, bool mitSkript = true) {
    auto dateien = produktDateien();
    if (!mitSkript) dateien.erase("Contents/Resources/starten");
    buendelAnlegen(ordner / name, dateien);
    if (signierer) buendelSignierenAls(ordner / name, testPki().signierer(signierer));
    return ordner / name;
  }
  Suchquellen nackt() {
    Suchquellen q;
    q.ordner = {system, benutzer};
    q.vertrauenswuerdig = [this](const std::filesystem::path& b) { return tor.buendelVertrauenswuerdig(b); };
    return q;
  }
  static std::filesystem::path skript(const std::filesystem::path& buendel) {
    return buendel / "Contents/Resources/starten";
  }

  TempOrdner t;
  std::filesystem::path system = t / "Applications", benutzer = t / "heim/Applications";
  std::unique_ptr<Codesignatur> pruefer = testpruefung(kopie(t.pfad(), "Programm.app", "unser"));
  Signaturtor tor{*pruefer};
};

TEST_F(Suche, ImBuendelZaehltNurDasEigeneSkript) {
  kopie(system, "Taler Wacht 9.9.9.app", "unser");
  kopie(system, "Taler Wacht 1.0.0.app", "fremd");
  auto q = nackt();
  q.eigenesBuendel = kopie(t / "eigen", "Taler Wacht.app", nullptr);
  q.vertrauenswuerdig = [](const std::filesystem::path&) { return true; };
  EXPECT_EQ(skriptSuchen(q).skript, skript(*q.eigenesBuendel));

  q.eigenesBuendel = kopie(t / "ohne", "Taler Wacht.app", nullptr, false);
  q.vertrauenswuerdig = [this](const std::filesystem::path& b) { return tor.buendelVertrauenswuerdig(b); };
  const auto fund = skriptSuchen(q);
  EXPECT_FALSE(fund.skript);
  EXPECT_FALSE(fund.abgelehnt);
}

TEST_F(Suche, NacktGewinntDieHoechsteSignierteFassung) {
  kopie(system, "Taler Wacht 1.6.0.app", "unser");
  const auto neu = kopie(benutzer, "Taler Wacht 1.10.1.app", "unser");
  kopie(benutzer, "Taler Wacht 1.9.0.app", "unser", false);
  // Names that only look alike are never candidates.
  for (const char* name : {"taler wacht 5.0.0.app", "Taler Wacht 5.0.0.App", "Taler Wacht 5.0.0.app.alt",
                           "X Taler Wacht 5.0.0.app"})
    kopie(system, name, nullptr);
  auto fund = skriptSuchen(nackt());
  EXPECT_EQ(fund.skript, skript(neu));
  EXPECT_FALSE(fund.abgelehnt);

  // Same version in both folders: the system folder comes first.
  TempOrdner zwei;
  system = zwei / "Applications";
  benutzer = zwei / "heim/Applications";
  const auto erstes = kopie(system, "Taler Wacht.app", "unser");
  kopie(benutzer, "Taler Wacht.app", "unser");
  EXPECT_EQ(skriptSuchen(nackt()).skript, skript(erstes));
}

TEST_F(Suche, AbgelehnteKopieWirdGemeldetAberNichtGewaehlt) {
  const auto signiert = kopie(system, "Taler Wacht 1.6.0.app", "unser");
  kopie(benutzer, "Taler Wacht 2.0.0.app", nullptr);
  kopie(benutzer, "Taler Wacht 3.0.0.app", "fremd", false);
  auto fund = skriptSuchen(nackt());
  EXPECT_EQ(fund.skript, skript(signiert));
  EXPECT_TRUE(fund.abgelehnt);

  std::filesystem::remove_all(signiert);
  fund = skriptSuchen(nackt());
  EXPECT_FALSE(fund.skript);
  EXPECT_TRUE(fund.abgelehnt);
}

TEST_F(Suche, UnlesbareOrdnerGebenNichts) {
  dateiSchreiben(system, "keine Liste");
  const auto fund = skriptSuchen(nackt());
  EXPECT_FALSE(fund.skript);
  EXPECT_FALSE(fund.abgelehnt);
}

// The program's own folders, in a fresh process with a temporary home.
TEST(SucheImProgramm, EigenesBuendelOderHeimordner) {
  if (std::filesystem::exists("/Applications")) GTEST_SKIP() << "this machine has /Applications";
  TempOrdner heim;
  for (const char* name : {"Taler Wacht 1.6.0.app", "Taler Wacht 1.10.1.app"})
    buendelAnlegen(heim / "Applications" / name, produktDateien());
  auto nackt = namensWerte({{TW_PROBE}, {{"HOME", heim.pfad().string()}}});
  EXPECT_EQ(nackt["skript"],
            (heim / "Applications/Taler Wacht 1.10.1.app/Contents/Resources/starten").string());
  EXPECT_EQ(nackt["abgelehnt"], "0");

  TempOrdner ort;
  buendelAnlegen(ort / "Taler Wacht.app", produktDateien());
  const auto programm = ort / "Taler Wacht.app/Contents/MacOS/TalerWacht";
  std::filesystem::copy_file(TW_PROBE, programm, std::filesystem::copy_options::overwrite_existing);
  auto gebuendelt = namensWerte({{programm.string()}, {{"HOME", heim.pfad().string()}}});
  EXPECT_EQ(gebuendelt["skript"], (ort / "Taler Wacht.app/Contents/Resources/starten").string());
}

}  // namespace
}  // namespace tw
