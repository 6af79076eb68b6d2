// The signing tool on a copy of the bundle the build made.
#include <gtest/gtest.h>

#include "helfer/kindprozess.h"
#include "helfer/test_pki.h"

namespace tw {
namespace {

struct Lauf {
  std::vector<std::string> argumente;
  int code;
  std::string text;  // found in stdout or stderr
};

void laufen(const std::vector<Lauf>& laeufe) {
  for (const auto& lauf : laeufe) {
    std::vector<std::string> argumente{TW_SIGNIEREN};
    argumente.insert(argumente.end(), lauf.argumente.begin(), lauf.argumente.end());
    Kindprozess kind({argumente});
    const auto status = kind.warten(std::chrono::seconds{30});
    EXPECT_TRUE(endeteMit(status, lauf.code)) << testing::PrintToString(lauf.argumente);
    EXPECT_NE((kind.ausgabe() + kind.fehler()).find(lauf.text), std::string::npos)
        << kind.ausgabe() + kind.fehler();
  }
}

TEST(Signierwerkzeug, SignierenPruefenVeraendernPruefenUndFalscheAufrufe) {
  TempOrdner t;
  const std::string b = t / "Taler Wacht.app", anker = testPki().wurzelDatei(), kein = t / "kein.pem",
                    klein = t / "B.app";
  std::filesystem::copy(TW_BUENDEL, b, std::filesystem::copy_options::recursive);
  const auto s = testPki().signierer("unser");
  dateiSchreiben(kein, "kein Zertifikat");
  buendelAnlegen(klein, produktDateien());
  laufen({
      {{"signieren", b, "--schluessel", s.schluesselDatei, "--zertifikat", s.zertifikatDatei, "--kette",
        s.ketteDatei},
       0,
       "(Kennung de.talerwacht.geld-bote.tunnel.demo)"},
      {{"pruefen", b, "--anker", anker}, 0, "gültig\n"},
      // Without --anker the maker's root is the anchor.
      {{"pruefen", b}, 1, "ungültig: Das Zertifikat führt nicht zu unserem Stammzertifikat"},
      {{}, 2, "Aufruf"},
      {{"pruefen", b, "--unbekannt", "x"}, 2, "Aufruf"},
      {{"signieren", b, "--schluessel"}, 2, "Aufruf"},
      {{"pruefen", t / "fehlt.app"}, 1, "Kein Bündel"},
      {{"signieren", klein, "--schluessel", kein, "--zertifikat", kein, "--kennung", "x"}, 1, "nicht lesbar"},
      {{"signieren", klein, "--schluessel", s.schluesselDatei, "--zertifikat", s.zertifikatDatei},
       1,
       "Keine Kennung"},
  });
  EXPECT_FALSE(std::filesystem::exists(klein + "/Contents/_CodeSignature"));

  std::ofstream(b + "/Contents/MacOS/TalerWacht", std::ios::app) << "angehängt";
  laufen({
      {{"pruefen", b, "--anker", anker},
       1,
       "ungültig: Die Datei „Contents/MacOS/TalerWacht“ wurde verändert.\n"},
      // The given requirement replaces the product's.
      {{"pruefen", b, "--anker", anker, "--anforderung", "identifier \"de.example.anders\""},
       1,
       "nicht \"de.example.anders\""},
      {{"pruefen", b, "--anker", anker, "--anforderung", "anchor apple"}, 2, "nicht lesbar"},
  });
}

}  // namespace
}  // namespace tw
