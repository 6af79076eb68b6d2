// The locations are computed once per process, so the probe program shows them from a fresh process.
#include "app/konstanten.h"

#include <gtest/gtest.h>

#include "helfer/kindprozess.h"
#include "platform/linux/linux_buendel.h"

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

TEST(Orte, BuendelUndFassungAusDerInfoListe) {
  TempOrdner t;
  const auto plist = [](const std::string& eintraege) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE plist>\n<plist version=\"1.0\"><dict>" + eintraege +
           "</dict></plist>";
  };
  const struct {
    const char* buendel;
    std::string liste;
    const char* fassung;
  } faelle[] = {
      {"A.app",
       plist("<key>X</key><true/><key>CFBundleShortVersionString</key>\n<string>1.7.2&amp;x</string>"),
       "1.7.2&x"},
      {"B.app", plist("<key>CFBundleName</key><string>Taler Wacht</string>"), ""},
      {"C.app", plist("<key>CFBundleShortVersionString</key><integer>3</integer>"), ""},
      {"D.app", "kein xml <", ""},
      {"E.bundle", plist("<key>CFBundleShortVersionString</key><string>9.9.9</string>"), ""},
  };
  for (const auto& fall : faelle) {
    const auto programm = t / fall.buendel / "Contents/MacOS/TalerWacht";
    std::filesystem::create_directories(programm.parent_path());
    dateiSchreiben(t / fall.buendel / "Contents/Info.plist", fall.liste);
    const LinuxBuendel buendel(programm);
    EXPECT_EQ(buendel.ort(),
              std::string_view(fall.buendel).ends_with(".app") ? t / fall.buendel : programm.parent_path());
    EXPECT_EQ(buendel.infoText("CFBundleShortVersionString").value_or(""), fall.fassung) << fall.buendel;
  }
  // The program itself, inside the first bundle.
  std::filesystem::copy_file(TW_PROBE, t / "A.app/Contents/MacOS/TalerWacht");
  auto werte = namensWerte({{t / "A.app/Contents/MacOS/TalerWacht"}});
  EXPECT_EQ(werte["imBuendel"], "1");
  EXPECT_EQ(werte["eigeneFassung"], "1.7.2&x");
}

}  // namespace tw
