// The locations are computed once per process, so the probe program shows them from a fresh process.
#include "app/konstanten.h"

#include <gtest/gtest.h>

#include "helfer/kindprozess.h"

namespace tw {

TEST(Orte, ZustandsordnerAusDerUmgebungEinmalGelesen) {
  TempOrdner heim;
  auto werte = namensWerte({{TW_PROBE}, {{"HOME", heim.pfad()}, {"GELD_BOTE_ZUSTAND", "/srv/zustand"}}});
  EXPECT_EQ(werte["sperrdatei"], "/srv/zustand/menue.pid");
  EXPECT_EQ(werte["bestaetigteAdresse"], "/srv/zustand/menue.adresse");
  EXPECT_EQ(werte["gezeigteAdresse"], "/srv/zustand/menue.adresse.gezeigt");
  EXPECT_EQ(werte["konfigOrdner"], heim / ".config/geld-bote-demo");
  EXPECT_EQ(werte["imBuendel"] + werte["eigeneFassung"], "0");
  EXPECT_EQ(zustandOrdnerFuer({}, "/heim"), "/heim/.local/state/geld-bote-demo");
  EXPECT_EQ(zustandOrdnerFuer({{"GELD_BOTE_ZUSTAND", ""}}, "/heim"), std::filesystem::current_path())
      << "empty still counts, no home fallback";
}

}  // namespace tw
