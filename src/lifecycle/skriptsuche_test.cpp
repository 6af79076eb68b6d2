#include "lifecycle/skriptsuche.h"

#include <set>

#include "helfer/test_pki.h"
#include "test.h"

namespace tw {
namespace {

// The signature gate is the test's own list of refused bundles.
struct Suche : ::testing::Test {
  void kopie(const std::string& ort, bool vertraut = true, bool mitSkript = true) {
    auto dateien = produktDateien();
    if (!mitSkript) dateien.erase("Contents/Resources/starten");
    buendelAnlegen(t / ort, dateien);
    if (!vertraut) abgelehnt.insert(t / ort);
  }
  // The bundle whose script was found, or "-"; "+ abgelehnt" when a refused one had it.
  std::string suchen(std::optional<fs::path> eigenes = {}) {
    const auto fund =
        skriptSuchen({eigenes, {t / "sys", t / "heim"}, [this](auto& b) { return !abgelehnt.contains(b); }});
    const auto ort = fund.skript ? fs::relative(*fund.skript, t.pfad()).string() : "-";
    return fund.abgelehnt ? ort + " + abgelehnt" : ort;
  }
  TempOrdner t;
  std::set<fs::path> abgelehnt;
};

TEST_F(Suche, ImBuendelZaehltNurDasEigeneSkript) {
  kopie("sys/Taler Wacht 9.9.9.app");
  kopie("eigen/Taler Wacht.app");
  kopie("ohne/Taler Wacht.app", false, false);
  kopie("fremd/Taler Wacht.app", false);
  EXPECT_EQ(suchen(t / "eigen/Taler Wacht.app"), "eigen/Taler Wacht.app/Contents/Resources/starten");
  EXPECT_EQ(suchen(t / "ohne/Taler Wacht.app"), "-");
  EXPECT_EQ(suchen(t / "fremd/Taler Wacht.app"), "- + abgelehnt");
}

TEST_F(Suche, NacktGewinntDieHoechsteAngenommeneFassung) {
  dateiSchreiben(t / "sys", "keine Liste");
  EXPECT_EQ(suchen(), "-");
  fs::remove(t / "sys");

  kopie("sys/Taler Wacht 1.6.0.app");
  kopie("heim/Taler Wacht 1.10.1.app");
  kopie("heim/Taler Wacht 1.11.0.app", true, false);
  // Names that only look alike are never candidates.
  for (const char* name : {"taler wacht 5.0.0.app", "Taler Wacht 5.0.0.App", "Taler Wacht 5.0.0.app.alt",
                           "X Taler Wacht 5.0.0.app"})
    kopie("sys/" + std::string(name));
  EXPECT_EQ(suchen(), "heim/Taler Wacht 1.10.1.app/Contents/Resources/starten");
  kopie("heim/Taler Wacht 2.0.0.app", false);
  EXPECT_EQ(suchen(), "heim/Taler Wacht 1.10.1.app/Contents/Resources/starten + abgelehnt");
  fs::remove_all(t / "heim/Taler Wacht 1.10.1.app");
  fs::remove_all(t / "sys/Taler Wacht 1.6.0.app");
  EXPECT_EQ(suchen(), "- + abgelehnt");
  // Same version in both folders: the system folder comes first.
  kopie("sys/Taler Wacht.app");
  kopie("heim/Taler Wacht.app");
  EXPECT_EQ(suchen(), "sys/Taler Wacht.app/Contents/Resources/starten + abgelehnt");
}

}  // namespace
}  // namespace tw
