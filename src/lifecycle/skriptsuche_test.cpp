#include "lifecycle/skriptsuche.h"

#include <gtest/gtest.h>

#include <set>

#include "app/konstanten.h"
#include "helfer/kindprozess.h"
#include "helfer/test_pki.h"

namespace tw {
namespace {

// The signature gate is the test's own list of refused bundles.
struct Suche : ::testing::Test {
  std::filesystem::path kopie(const std::string& ort, bool vertraut = true, bool mitSkript = true) {
    auto dateien = produktDateien();
    if (!mitSkript) dateien.erase("Contents/Resources/starten");
    buendelAnlegen(t / ort, dateien);
    if (!vertraut) abgelehnt.insert(t / ort);
    return t / ort / "Contents/Resources/starten";
  }
  Skriptfund suchen(std::optional<std::filesystem::path> eigenes = {}) {
    return skriptSuchen(
        {eigenes, {t / "sys", t / "heim"}, [this](auto& b) { return !abgelehnt.contains(b); }});
  }
  TempOrdner t;
  std::set<std::filesystem::path> abgelehnt;
};

TEST_F(Suche, ImBuendelZaehltNurDasEigeneSkript) {
  kopie("sys/Taler Wacht 9.9.9.app");
  const auto eigenes = kopie("eigen/Taler Wacht.app");
  EXPECT_EQ(suchen(t / "eigen/Taler Wacht.app").skript, eigenes);
  kopie("ohne/Taler Wacht.app", false, false);
  auto fund = suchen(t / "ohne/Taler Wacht.app");
  EXPECT_FALSE(fund.skript || fund.abgelehnt);
  kopie("fremd/Taler Wacht.app", false);
  fund = suchen(t / "fremd/Taler Wacht.app");
  EXPECT_TRUE(!fund.skript && fund.abgelehnt);
}

TEST_F(Suche, NacktGewinntDieHoechsteAngenommeneFassung) {
  dateiSchreiben(t / "sys", "keine Liste");
  auto fund = suchen();
  EXPECT_FALSE(fund.skript || fund.abgelehnt);
  std::filesystem::remove(t / "sys");

  kopie("sys/Taler Wacht 1.6.0.app");
  const auto neu = kopie("heim/Taler Wacht 1.10.1.app");
  kopie("heim/Taler Wacht 1.11.0.app", true, false);
  // Names that only look alike are never candidates.
  for (const char* name : {"taler wacht 5.0.0.app", "Taler Wacht 5.0.0.App", "Taler Wacht 5.0.0.app.alt",
                           "X Taler Wacht 5.0.0.app"})
    kopie("sys/" + std::string(name));
  fund = suchen();
  EXPECT_EQ(fund.skript, neu);
  EXPECT_FALSE(fund.abgelehnt);

  kopie("heim/Taler Wacht 2.0.0.app", false);
  fund = suchen();
  EXPECT_EQ(fund.skript, neu);
  EXPECT_TRUE(fund.abgelehnt);
  std::filesystem::remove_all(t / "heim/Taler Wacht 1.10.1.app");
  std::filesystem::remove_all(t / "sys/Taler Wacht 1.6.0.app");
  fund = suchen();
  EXPECT_TRUE(!fund.skript && fund.abgelehnt);

  // Same version in both folders: the system folder comes first.
  const auto erstes = kopie("sys/Taler Wacht.app");
  kopie("heim/Taler Wacht.app");
  EXPECT_EQ(suchen().skript, erstes);
}

// The program's own sources; inside a bundle in a fresh process, as they are computed once.
TEST(SucheImProgramm, EigenesBuendelOderDieProgrammordner) {
  const auto q = programmSuchquellen();
  EXPECT_FALSE(q.eigenesBuendel);
  EXPECT_EQ(q.ordner, (std::vector<std::filesystem::path>{"/Applications", heim() / "Applications"}));
  TempOrdner t;
  buendelAnlegen(t / "Taler Wacht.app", produktDateien());
  std::filesystem::copy_file(TW_PROBE, t / "Taler Wacht.app/Contents/MacOS/TalerWacht",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(namensWerte({{t / "Taler Wacht.app/Contents/MacOS/TalerWacht"}})["skript"],
            t / "Taler Wacht.app/Contents/Resources/starten");
}

}  // namespace
}  // namespace tw
