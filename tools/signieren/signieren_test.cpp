// The signing tool on a copy of the bundle the build made: what it signs, with
// the identifier from the bundle's Info.plist, passes the app's check until a
// file changes.
#include "helfer/test_pki.h"
#include "test.h"

namespace tw {
namespace {

// The tool's exit code and whether stdout or stderr holds `text`.
void laufen(const std::vector<std::string>& argumente, int code, const std::string& text) {
  std::vector<std::string> aufruf{TW_SIGNIEREN};
  aufruf.insert(aufruf.end(), argumente.begin(), argumente.end());
  Kindprozess kind({aufruf});
  EXPECT_TRUE(endeteMit(kind.warten(30s), code)) << testing::PrintToString(argumente);
  EXPECT_NE((kind.ausgabe() + kind.fehler()).find(text), std::string::npos) << kind.ausgabe() + kind.fehler();
}

TEST(Signierwerkzeug, SigniertesBuendelBestehtDiePruefungBisZurAenderung) {
  TempOrdner t;
  const std::string b = t / "Taler Wacht.app", anker = testPki().wurzelDatei();
  fs::copy(TW_BUENDEL, b, fs::copy_options::recursive);
  const auto s = testPki().signierer("unser");
  laufen({"signieren", b, "--schluessel", s.schluesselDatei, "--zertifikat", s.zertifikatDatei, "--kette",
          s.ketteDatei},
         0, "(Kennung de.talerwacht.geld-bote.tunnel.demo)");
  laufen({"pruefen", b, "--anker", anker}, 0, "gültig\n");
  std::ofstream(b + "/Contents/MacOS/TalerWacht", std::ios::app) << "angehängt";
  laufen({"pruefen", b, "--anker", anker}, 1,
         "ungültig: Die Datei „Contents/MacOS/TalerWacht“ wurde verändert.\n");
}

}  // namespace
}  // namespace tw
