// The real signature check, against certificates made for the test.
#include <gtest/gtest.h>

#include "app/konstanten.h"
#include "helfer/kindprozess.h"
#include "helfer/test_pki.h"
#include "lifecycle/signaturtor.h"
#include "platform/linux/signatur/anforderung.h"
#include "platform/linux/signatur/openssl_codesignatur.h"

namespace tw {
namespace {

using Art = SignaturBefund::Art;

class Signatur : public ::testing::Test {
 protected:
  std::filesystem::path signiert(const std::string& signierer,
                                 std::optional<std::time_t> zeit = std::nullopt) {
    const auto b = t / (signierer + ".app");
    buendelAnlegen(b, produktDateien());
    buendelSignierenAls(b, testPki().signierer(signierer), zeit);
    return b;
  }
  SignaturBefund pruefen(const std::filesystem::path& b,
                         const std::string& anforderung = buendelAnforderung()) {
    return pruefer.buendelPruefen(b, anforderung);
  }
  // The reason of a refusal; fails the test when the bundle passed.
  std::string grund(const std::filesystem::path& b) {
    const auto befund = pruefen(b);
    EXPECT_EQ(befund.art, Art::ungueltig) << b;
    return befund.grund.value_or("");
  }

  TempOrdner t;
  OpenSSLCodesignatur pruefer{testPki().wurzel(), std::nullopt};
};

TEST(Anforderung, NurDieTexteDesProgramms) {
  const auto voll = anforderungLesen(buendelAnforderung());
  ASSERT_TRUE(voll);
  ASSERT_EQ(voll->klauseln.size(), 3u);
  EXPECT_EQ(voll->klauseln[0].art, Klausel::Art::anker);
  EXPECT_EQ(voll->klauseln[1].wert, "K7Q2M8X4RB");
  EXPECT_EQ(voll->klauseln[2].wert, "de.talerwacht.geld-bote.tunnel.demo");
  EXPECT_TRUE(anforderungLesen("anchor apple generic"));
  EXPECT_EQ(anforderungLesen(R"(identifier = "a \"b\" \\")")->klauseln.at(0).wert, R"(a "b" \)");

  for (const char* falsch :
       {"", "anchor apple", "anchor apple generic and", "and anchor apple generic",
        "anchor apple generic or identifier \"x\"", "identifier x", "identifier \"x",
        "identifier \"a\" identifier \"b\"", "certificate leaf[subject.CN] = \"x\"",
        "certificate leaf[subject.OU] \"x\"", "certificate root = \"x\"",
        "anchor apple generic; identifier \"x\"", "identifier \"a\nb\"", "identifier \"\\x\""})
    EXPECT_FALSE(anforderungLesen(falsch)) << falsch;
}

TEST_F(Signatur, UnserBuendelUeberEineZwischenstelleGilt) {
  const auto b = signiert("unser");
  EXPECT_EQ(pruefen(b).art, Art::gueltig);
  EXPECT_EQ(OpenSSLCodesignatur(testPki().wurzel(), b).eigenenCodePruefen("anchor apple generic").art,
            Art::gueltig);
  EXPECT_EQ(pruefer.eigenenCodePruefen("anchor apple generic").art, Art::ungueltig)
      << "a bare program is unsigned";
  EXPECT_EQ(OpenSSLCodesignatur(herstellerAnker(), std::nullopt).buendelPruefen(b, buendelAnforderung()).art,
            Art::ungueltig)
      << "the test root is not the maker's";
}

TEST_F(Signatur, FalscheUnterzeichnerMitGrund) {
  EXPECT_NE(grund(signiert("fremd")).find("Z9Y8X7W6VU"), std::string::npos);
  EXPECT_NE(grund(signiert("ohneCode")).find("nicht für Codesignaturen"), std::string::npos);
  EXPECT_NE(grund(signiert("ohneSignaturNutzung")).find("keine digitalen Signaturen"), std::string::npos);
  EXPECT_NE(grund(signiert("vomKeinCa")).find("Stammzertifikat (invalid CA certificate)"), std::string::npos);
  const auto falscheWurzel = signiert("falscheWurzel");
  EXPECT_NE(grund(falscheWurzel).find("Stammzertifikat"), std::string::npos);
  // Only the anchor clause asks for the chain.
  EXPECT_EQ(pruefen(falscheWurzel, "identifier \"de.talerwacht.geld-bote.tunnel.demo\"").art, Art::gueltig);

  const auto andereKennung = t / "kennung.app";
  buendelAnlegen(andereKennung, produktDateien());
  const auto s = testPki().signierer("unser");
  ASSERT_FALSE(buendelSignieren(andereKennung, "de.example.anders", s.schluessel, s.zertifikat, s.kette));
  EXPECT_NE(grund(andereKennung).find("\"de.example.anders\""), std::string::npos);
}

TEST_F(Signatur, ZertifikatszeitenGeltenZurSignierzeit) {
  const std::time_t jetzt = std::time(nullptr);
  EXPECT_EQ(pruefen(signiert("abgelaufen", jetzt - 5 * 86400)).art, Art::gueltig)
      << "signed while valid stays valid";
  EXPECT_NE(grund(signiert("abgelaufen")).find("expired"), std::string::npos);
  EXPECT_NE(grund(signiert("unser", jetzt - 40 * 86400)).find("not yet valid"), std::string::npos);
  EXPECT_NE(grund(signiert("unser", jetzt + 86400)).find("Zukunft"), std::string::npos);
}

TEST_F(Signatur, JedeAenderungNenntDieDatei) {
  struct Fall {
    std::function<void(const std::filesystem::path&)> aendern;
    std::string grund;
  } faelle[] = {
      {[](auto& b) { dateiSchreiben(b / "Contents/Resources/starten", "#!/bin/bash\nrm -rf ~\n"); },
       "Die Datei „Contents/Resources/starten“ wurde verändert."},
      {[](auto& b) { dateiSchreiben(b / "Contents/Resources/neu", ""); },
       "Die Datei „Contents/Resources/neu“ ist hinzugekommen."},
      {[](auto& b) { std::filesystem::remove(b / "Contents/Resources/geld-bote"); },
       "Die Datei „Contents/Resources/geld-bote“ fehlt."},
      {[](auto& b) { std::filesystem::create_symlink("/bin/sh", b / "Contents/MacOS/sh"); },
       "„Contents/MacOS/sh“ ist ein symbolischer Link."},
      {[](auto& b) { dateiSchreiben(b / "Contents/a\\b", ""); }, "„Contents/a\\b“ enthält"},
      {[](auto& b) { dateiSchreiben(b / "LIESMICH", ""); }, "„LIESMICH“ liegt außerhalb von Contents."},
      {[](auto& b) { std::filesystem::remove_all(b / "Contents/_CodeSignature"); },
       "Das Bündel ist nicht signiert."},
      {[](auto& b) { std::ofstream(b / "Contents/_CodeSignature/CodeResources", std::ios::app) << "x"; },
       "beschädigt"},
      {[](auto& b) {
         std::filesystem::remove(b / "Contents/_CodeSignature/CodeResources");
         dateiSchreiben(b / "Contents/_CodeSignature/CodeResources",
                        "identifier de.talerwacht.geld-bote.tunnel.demo\n");
       },
       "Die Signatur passt nicht zur Liste der Dateien"},
  };
  for (const auto& fall : faelle) {
    const auto b = signiert("unser");
    fall.aendern(b);
    EXPECT_NE(grund(b).find(fall.grund), std::string::npos) << fall.grund << " / " << grund(b);
    std::filesystem::remove_all(b);
  }
}

TEST_F(Signatur, KeinCodeKeineAnforderungZweiUnterzeichner) {
  EXPECT_EQ(pruefen(t / "fehlt.app").art, Art::keinCode);
  dateiSchreiben(t / "datei.app", "");
  EXPECT_EQ(pruefen(t / "datei.app").art, Art::keinCode);
  const auto b = signiert("unser");
  EXPECT_EQ(pruefen(b, "anchor apple").art, Art::keineAnforderung);

  // Both signers are valid ones; two at once are still refused.
  const auto unser = testPki().signierer("unser"), fremd = testPki().signierer("fremd");
  const auto sig = b / "Contents/_CodeSignature/CodeSignature";
  Kindprozess openssl({{"/usr/bin/openssl",
                        "cms",
                        "-sign",
                        "-binary",
                        "-outform",
                        "DER",
                        "-in",
                        (b / "Contents/_CodeSignature/CodeResources").string(),
                        "-signer",
                        unser.zertifikatDatei,
                        "-inkey",
                        unser.schluesselDatei,
                        "-signer",
                        fremd.zertifikatDatei,
                        "-inkey",
                        fremd.schluesselDatei,
                        "-certfile",
                        unser.ketteDatei,
                        "-out",
                        sig.string()}});
  ASSERT_TRUE(endeteMit(openssl.warten(std::chrono::seconds{20}), 0)) << openssl.fehler();
  EXPECT_NE(grund(b).find("nicht genau einen Unterzeichner"), std::string::npos) << grund(b);
}

}  // namespace
}  // namespace tw
