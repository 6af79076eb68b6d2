// Which bundle the program sits in and its version, read from the bundle's Info.plist.
#include "platform/linux/linux_buendel.h"

#include <gtest/gtest.h>

#include "app/dateien.h"
#include "helfer/kindprozess.h"

namespace tw {

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
