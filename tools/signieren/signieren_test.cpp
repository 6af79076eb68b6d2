// The signing tool on a copy of the bundle the build made.
#include <gtest/gtest.h>

#include "helfer/kindprozess.h"
#include "helfer/test_pki.h"

namespace tw {
namespace {

struct Lauf {
  std::optional<int> status;
  std::string ausgabe;
};

Lauf werkzeug(std::vector<std::string> argumente) {
  argumente.insert(argumente.begin(), TW_SIGNIEREN);
  Kindprozess kind({argumente});
  auto status = kind.warten(std::chrono::seconds{30});
  return {status, kind.ausgabe() + kind.fehler()};
}

TEST(Signierwerkzeug, SignierenPruefenVeraendernPruefen) {
  TempOrdner t;
  const auto b = t / "Taler Wacht.app";
  std::filesystem::copy(TW_BUENDEL, b, std::filesystem::copy_options::recursive);
  const auto s = testPki().signierer("unser");
  const auto anker = testPki().wurzelDatei().string();

  auto lauf = werkzeug({"signieren", b, "--schluessel", s.schluesselDatei, "--zertifikat", s.zertifikatDatei,
                        "--kette", s.ketteDatei});
  ASSERT_TRUE(endeteMit(lauf.status, 0)) << lauf.ausgabe;
  EXPECT_NE(lauf.ausgabe.find("(Kennung de.talerwacht.geld-bote.tunnel.demo)"), std::string::npos)
      << lauf.ausgabe;

  lauf = werkzeug({"pruefen", b, "--anker", anker});
  EXPECT_TRUE(endeteMit(lauf.status, 0));
  EXPECT_EQ(lauf.ausgabe, "gültig\n");
  lauf = werkzeug({"pruefen", b});
  EXPECT_TRUE(endeteMit(lauf.status, 1));
  EXPECT_NE(lauf.ausgabe.find("ungültig: Das Zertifikat führt nicht zu unserem Stammzertifikat"),
            std::string::npos)
      << "without --anker the maker's root is the anchor: " << lauf.ausgabe;

  std::ofstream(b / "Contents/MacOS/TalerWacht", std::ios::app) << "angehängt";
  lauf = werkzeug({"pruefen", b, "--anker", anker});
  EXPECT_TRUE(endeteMit(lauf.status, 1));
  EXPECT_EQ(lauf.ausgabe, "ungültig: Die Datei „Contents/MacOS/TalerWacht“ wurde verändert.\n");

  lauf = werkzeug({"pruefen", b, "--anker", anker, "--anforderung", "identifier \"de.example.anders\""});
  EXPECT_TRUE(endeteMit(lauf.status, 1)) << "the changed file is found whatever the requirement";
  lauf = werkzeug({"pruefen", b, "--anker", anker, "--anforderung", "anchor apple"});
  EXPECT_TRUE(endeteMit(lauf.status, 2)) << lauf.ausgabe;
}

TEST(Signierwerkzeug, FalscherAufrufUndUnbrauchbareEingaben) {
  TempOrdner t;
  EXPECT_TRUE(endeteMit(werkzeug({}).status, 2));
  EXPECT_TRUE(endeteMit(werkzeug({"pruefen", t.pfad(), "--unbekannt", "x"}).status, 2));
  EXPECT_TRUE(endeteMit(werkzeug({"signieren", t.pfad(), "--schluessel"}).status, 2));
  EXPECT_TRUE(endeteMit(werkzeug({"pruefen", t / "fehlt.app"}).status, 1));

  dateiSchreiben(t / "kein.pem", "kein Zertifikat");
  buendelAnlegen(t / "B.app", produktDateien());
  const auto lauf = werkzeug({"signieren", t / "B.app", "--schluessel", t / "kein.pem", "--zertifikat",
                              t / "kein.pem", "--kennung", "x"});
  EXPECT_TRUE(endeteMit(lauf.status, 1));
  EXPECT_NE(lauf.ausgabe.find("nicht lesbar"), std::string::npos) << lauf.ausgabe;
  EXPECT_FALSE(std::filesystem::exists(t / "B.app/Contents/_CodeSignature"));
  EXPECT_TRUE(endeteMit(
      werkzeug({"signieren", t / "B.app", "--schluessel", t / "kein.pem", "--zertifikat", t / "kein.pem"})
          .status,
      1))
      << "no identifier: the Info.plist here has none";
}

}  // namespace
}  // namespace tw
