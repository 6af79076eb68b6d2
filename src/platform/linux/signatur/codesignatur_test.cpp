// The real signature check, against certificates made for the test.
#include <gtest/gtest.h>

#include <sstream>

#include "app/konstanten.h"
#include "helfer/kindprozess.h"
#include "helfer/test_pki.h"
#include "lifecycle/signaturtor.h"
#include "platform/linux/signatur/anforderung.h"
#include "platform/linux/signatur/openssl_codesignatur.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using Art = SignaturBefund::Art;

class Signatur : public ::testing::Test {
 protected:
  fs::path signiert(const std::string& signierer, std::optional<std::time_t> zeit = std::nullopt) {
    const auto b = t / (signierer + std::to_string(++anzahl) + ".app");
    buendelAnlegen(b, produktDateien());
    buendelSignierenAls(b, testPki().signierer(signierer), zeit);
    return b;
  }
  SignaturBefund pruefen(const fs::path& b, const std::string& anforderung = buendelAnforderung()) {
    return pruefer.buendelPruefen(b, anforderung);
  }
  // The reason of a refusal; fails the test when the bundle passed.
  std::string grund(const fs::path& b) {
    const auto befund = pruefen(b);
    EXPECT_EQ(befund.art, Art::ungueltig) << b;
    return befund.grund.value_or("");
  }

  TempOrdner t;
  int anzahl = 0;
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

TEST_F(Signatur, GueltigeBuendel) {
  const auto b = signiert("unser");
  EXPECT_EQ(pruefen(b).art, Art::gueltig);
  EXPECT_EQ(OpenSSLCodesignatur(testPki().wurzel(), b).eigenenCodePruefen("anchor apple generic").art,
            Art::gueltig);
  EXPECT_EQ(pruefer.eigenenCodePruefen("anchor apple generic").art, Art::ungueltig)
      << "a bare program is unsigned";
  EXPECT_EQ(OpenSSLCodesignatur(herstellerAnker(), std::nullopt).buendelPruefen(b, buendelAnforderung()).art,
            Art::ungueltig)
      << "the test root is not the maker's";
  // Certificates count at the time of signing; only the anchor clause asks for the chain.
  EXPECT_EQ(pruefen(signiert("abgelaufen", std::time(nullptr) - 5 * 86400)).art, Art::gueltig);
  EXPECT_EQ(pruefen(signiert("falscheWurzel"), "identifier \"de.talerwacht.geld-bote.tunnel.demo\"").art,
            Art::gueltig);
  EXPECT_EQ(pruefen(t / "fehlt.app").art, Art::keinCode);
  dateiSchreiben(t / "datei.app", "");
  EXPECT_EQ(pruefen(t / "datei.app").art, Art::keinCode);
  EXPECT_EQ(pruefen(b, "anchor apple").art, Art::keineAnforderung);
}

TEST_F(Signatur, JederFehlerNenntSeinenGrund) {
  const std::time_t jetzt = std::time(nullptr);
  for (const auto& [signierer, zeit, soll] :
       {std::tuple<const char*, std::optional<std::time_t>, const char*>{"fremd", {}, "Z9Y8X7W6VU"},
        {"ohneCode", {}, "nicht für Codesignaturen"},
        {"ohneSignaturNutzung", {}, "keine digitalen Signaturen"},
        {"vomKeinCa", {}, "Stammzertifikat (invalid CA certificate)"},
        {"falscheWurzel", {}, "Stammzertifikat"},
        {"abgelaufen", {}, "expired"},
        {"unser", jetzt - 40 * 86400, "not yet valid"},
        {"unser", jetzt + 86400, "Zukunft"}})
    EXPECT_NE(grund(signiert(signierer, zeit)).find(soll), std::string::npos) << signierer;

  struct Fall {
    std::function<void(const fs::path&)> aendern;
    std::string grund;
  } faelle[] = {
      {[](auto& b) { dateiSchreiben(b / "Contents/Resources/starten", "#!/bin/bash\nrm -rf ~\n"); },
       "Die Datei „Contents/Resources/starten“ wurde verändert."},
      {[](auto& b) { dateiSchreiben(b / "Contents/Resources/neu", ""); },
       "Die Datei „Contents/Resources/neu“ ist hinzugekommen."},
      {[](auto& b) { fs::remove(b / "Contents/Resources/geld-bote"); },
       "Die Datei „Contents/Resources/geld-bote“ fehlt."},
      {[](auto& b) { fs::create_symlink("/bin/sh", b / "Contents/MacOS/sh"); },
       "„Contents/MacOS/sh“ ist ein symbolischer Link."},
      {[](auto& b) { dateiSchreiben(b / "Contents/a\\b", ""); }, "„Contents/a\\b“ enthält"},
      {[](auto& b) { dateiSchreiben(b / "LIESMICH", ""); }, "„LIESMICH“ liegt außerhalb von Contents."},
      {[](auto& b) { fs::remove_all(b / "Contents/_CodeSignature"); }, "Das Bündel ist nicht signiert."},
      {[](auto& b) { std::ofstream(b / "Contents/_CodeSignature/CodeResources", std::ios::app) << "x"; },
       "beschädigt"},
      {[](auto& b) {
         fs::remove(b / "Contents/_CodeSignature/CodeResources");
         dateiSchreiben(b / "Contents/_CodeSignature/CodeResources",
                        "identifier de.talerwacht.geld-bote.tunnel.demo\n");
       },
       "Die Signatur passt nicht zur Liste der Dateien"},
      // Two valid signers at once are still refused.
      {[](auto& b) {
         const auto u = testPki().signierer("unser"), f = testPki().signierer("fremd");
         const auto ordner = b / "Contents/_CodeSignature";
         std::istringstream woerter(
             "cms -sign -binary -outform DER -in " + (ordner / "CodeResources").string() + " -signer " +
             u.zertifikatDatei.string() + " -inkey " + u.schluesselDatei.string() + " -signer " +
             f.zertifikatDatei.string() + " -inkey " + f.schluesselDatei.string() + " -certfile " +
             u.ketteDatei.string() + " -out " + (ordner / "CodeSignature").string());
         std::vector<std::string> befehl{"/usr/bin/openssl"};
         for (std::string w; woerter >> w;) befehl.push_back(w);
         Kindprozess openssl({befehl});
         ASSERT_TRUE(endeteMit(openssl.warten(std::chrono::seconds{20}), 0)) << openssl.fehler();
       },
       "nicht genau einen Unterzeichner"},
  };
  for (const auto& fall : faelle) {
    const auto b = signiert("unser");
    fall.aendern(b);
    const auto text = grund(b);
    EXPECT_NE(text.find(fall.grund), std::string::npos) << fall.grund << " / " << text;
  }

  // A bundle signed for another identifier names it.
  const auto andereKennung = t / "kennung.app";
  buendelAnlegen(andereKennung, produktDateien());
  const auto s = testPki().signierer("unser");
  ASSERT_FALSE(buendelSignieren(andereKennung, "de.example.anders", s.schluessel, s.zertifikat, s.kette));
  EXPECT_NE(grund(andereKennung).find("\"de.example.anders\""), std::string::npos);
}

}  // namespace
}  // namespace tw
