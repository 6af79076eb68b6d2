// The real signature check, against certificates made for the test.
#include "helfer/test_pki.h"
#include "lifecycle/signaturtor.h"
#include "platform/linux/signatur/anforderung.h"
#include "test.h"

namespace tw {
namespace {

using Art = SignaturBefund::Art;

TEST(Anforderung, NurDieTexteDesProgramms) {
  // Each clause as its kind's number and its text.
  const auto klauseln = [](std::string_view text) {
    std::string s = "-";
    const auto anforderung = anforderungLesen(text);
    for (const auto& k : anforderung.value().klauseln) s += std::to_string(int(k.art)) + k.wert + "-";
    return s;
  };
  EXPECT_EQ(klauseln(buendelAnforderung()), "-0-1K7Q2M8X4RB-2de.talerwacht.geld-bote.tunnel.demo-");
  EXPECT_EQ(klauseln(R"(identifier = "a \"b\" \\")"), R"(-2a "b" \-)");
  for (const char* falsch :
       {"", "anchor apple", "anchor apple generic and", "and anchor apple generic",
        "anchor apple generic or identifier \"x\"", "identifier x", "identifier \"x",
        "identifier \"a\" identifier \"b\"", "certificate leaf[subject.CN] = \"x\"",
        "certificate leaf[subject.OU] \"x\"", "certificate root = \"x\"",
        "anchor apple generic; identifier \"x\"", "identifier \"a\nb\"", "identifier \"\\x\""})
    EXPECT_FALSE(anforderungLesen(falsch)) << falsch;
}

// Each row signs a fresh bundle, changes it, and expects a part of the verdict: "[gueltig]",
// "[keinCode]", "[keineAnforderung]" or the reason of a refusal. Certificates count at the time
// of signing; only the anchor clause asks for the chain.
TEST(Signatur, JederBefundUndJederGrund) {
  const std::time_t jetzt = std::time(nullptr);
  const struct {
    std::function<void(const fs::path&)> aendern;
    std::string soll;
    const char* signierer = "unser";
    std::optional<std::time_t> zeit{};
    std::string anforderung = buendelAnforderung();
  } faelle[] = {
      {{}, "[gueltig]"},
      {{}, "[gueltig]", "abgelaufen", jetzt - 5 * 86400},
      {{}, "[gueltig]", "falscheWurzel", {}, "identifier \"de.talerwacht.geld-bote.tunnel.demo\""},
      {{}, "[keineAnforderung]", "unser", {}, "anchor apple"},
      {[](auto& b) { fs::remove_all(b); }, "[keinCode]"},
      {[](auto& b) {
         fs::remove_all(b);
         dateiSchreiben(b, "");
       },
       "[keinCode]"},
      {{}, "Z9Y8X7W6VU", "fremd"},
      {{}, "nicht für Codesignaturen", "ohneCode"},
      {{}, "keine digitalen Signaturen", "ohneSignaturNutzung"},
      {{}, "Stammzertifikat (invalid CA certificate)", "vomKeinCa"},
      {{}, "Stammzertifikat", "falscheWurzel"},
      {{}, "expired", "abgelaufen"},
      {{}, "not yet valid", "unser", jetzt - 40 * 86400},
      {{}, "Zukunft", "unser", jetzt + 86400},
      {{}, "Das Bündel ist nicht signiert.", nullptr},
      {[](auto& b) { buendelSignierenAls(b, testPki().signierer("unser"), {}, "de.example.anders"); },
       "\"de.example.anders\"", nullptr},
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
      {[](auto& b) { std::ofstream(b / "Contents/_CodeSignature/CodeResources", std::ios::app) << "x"; },
       "beschädigt"},
      {[](auto& b) { dateiSchreiben(b / "Contents/_CodeSignature/CodeResources", "identifier x\n"); },
       "Die Signatur passt nicht zur Liste der Dateien"},
      // Two valid signers at once are still refused.
      {[](auto& b) {
         const auto o = (b / "Contents/_CodeSignature/").string();
         testPki().openssl({"cms", "-sign", "-binary", "-outform", "DER", "-in", o + "CodeResources",
                            "-signer", "unser.pem", "-inkey", "unser.key", "-signer", "fremd.pem", "-inkey",
                            "fremd.key", "-certfile", "zwischen.pem", "-out", o + "CodeSignature"});
       },
       "nicht genau einen Unterzeichner"},
  };
  TempOrdner t;
  const auto pruefer = testpruefung(std::nullopt);
  int anzahl = 0;
  for (const auto& f : faelle) {
    const auto b = t / (std::to_string(++anzahl) + ".app");
    buendelAnlegen(b);
    if (f.signierer) buendelSignierenAls(b, testPki().signierer(f.signierer), f.zeit);
    if (f.aendern) f.aendern(b);
    const auto befund = pruefer->buendelPruefen(b, f.anforderung);
    const char* namen[] = {"[gueltig]", "[keinCode]", "[keineAnforderung]"};
    const auto urteil = befund.art == Art::ungueltig ? befund.grund.value_or("") : namen[int(befund.art)];
    EXPECT_NE(urteil.find(f.soll), std::string::npos) << f.soll << " / " << urteil;
  }
}

}  // namespace
}  // namespace tw
