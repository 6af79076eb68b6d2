// The locations are computed once per process, so each case runs the probe
// program in a fresh process with its own environment.
#include "app/konstanten.h"

#include <gtest/gtest.h>

#include "helfer/kindprozess.h"
#include "helfer/temp_ordner.h"

namespace tw {
namespace {

std::string plist(const std::string& eintraege) {
  return "<?xml version=\"1.0\"?>\n<!DOCTYPE plist>\n<plist version=\"1.0\"><dict>" + eintraege +
         "</dict></plist>";
}

}  // namespace

TEST(Orte, ZustandsordnerAusDerUmgebungEinmalGelesen) {
  TempOrdner heim, hier;
  auto gesetzt = namensWerte({{TW_PROBE}, {{"HOME", heim.pfad()}, {"GELD_BOTE_ZUSTAND", "/srv/zustand"}}});
  EXPECT_EQ(gesetzt["sperrdatei"], "/srv/zustand/menue.pid");
  EXPECT_EQ(gesetzt["gezeigteAdresse"], "/srv/zustand/menue.adresse.gezeigt");
  EXPECT_EQ(gesetzt["konfigOrdner"], (heim / ".config/geld-bote-demo").string());

  auto leer = namensWerte({{TW_PROBE}, {{"HOME", heim.pfad()}, {"GELD_BOTE_ZUSTAND", ""}}, {}, hier.pfad()});
  EXPECT_EQ(leer["sperrdatei"], (hier / "menue.pid").string()) << "empty still counts, no home fallback";

  auto ohne = namensWerte({{TW_PROBE}, {{"HOME", heim.pfad()}}, {"GELD_BOTE_ZUSTAND"}});
  EXPECT_EQ(ohne["zustandOrdner"], (heim / ".local/state/geld-bote-demo").string());
  EXPECT_EQ(ohne["bestaetigteAdresse"], (heim / ".local/state/geld-bote-demo/menue.adresse").string());
  EXPECT_EQ(ohne["imBuendel"], "0");
  EXPECT_EQ(ohne["eigeneFassung"], "");
}

TEST(Orte, BuendelUndFassungAusDerInfoListe) {
  TempOrdner t;
  struct Fall {
    const char* buendel;
    std::string liste;
    const char* imBuendel;
    const char* fassung;
  } faelle[] = {
      {"A.app",
       plist("<key>X</key><true/><key>CFBundleShortVersionString</key>\n<string>1.7.2&amp;x</string>"), "1",
       "1.7.2&x"},
      {"B.app", plist("<key>CFBundleName</key><string>Taler Wacht</string>"), "1", ""},
      {"C.app", plist("<key>CFBundleShortVersionString</key><integer>3</integer>"), "1", ""},
      {"D.app", "kein xml <", "1", ""},
      {"E.bundle", plist("<key>CFBundleShortVersionString</key><string>9.9.9</string>"), "0", ""},
  };
  for (const auto& fall : faelle) {
    const auto macos = t / fall.buendel / "Contents" / "MacOS";
    std::filesystem::create_directories(macos);
    dateiSchreiben(t / fall.buendel / "Contents" / "Info.plist", fall.liste);
    std::filesystem::copy_file(TW_PROBE, macos / "TalerWacht");
    auto werte = namensWerte({{(macos / "TalerWacht").string()}});
    EXPECT_EQ(werte["imBuendel"], fall.imBuendel) << fall.buendel;
    EXPECT_EQ(werte["eigeneFassung"], fall.fassung) << fall.buendel;
  }
}

}  // namespace tw
