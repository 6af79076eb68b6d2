#include "helfer/test_pki.h"

#include <gtest/gtest.h>

#include "app/dateien.h"
#include "helfer/kindprozess.h"
#include "platform/linux/signatur/openssl_codesignatur.h"

namespace tw {
namespace {

std::string pem(const std::filesystem::path& datei) { return rohLesen(datei, 1 << 16).value_or(""); }

std::string tageAb(int tage) {
  const std::time_t t = std::time(nullptr) + tage * 86400;
  char text[32];
  std::tm tm{};
  std::strftime(text, sizeof text, "%y%m%d%H%M%SZ", ::gmtime_r(&t, &tm));
  return text;
}

}  // namespace

void TestPki::openssl(std::vector<std::string> argumente) const {
  argumente.insert(argumente.begin(), "/usr/bin/openssl");
  Kindprozess kind({argumente, {}, {}, ordner_.pfad()});
  if (!endeteMit(kind.warten(std::chrono::seconds{20}), 0))
    throw std::runtime_error("openssl " + argumente[1] + ": " + kind.fehler());
}

TestPki::TestPki() {
  // "openssl ca" is the only command that takes both dates; the CAs begin
  // in the past so that an old signing time can still chain up.
  dateiSchreiben(ordner_ / "ca.cnf",
                 "[ca]\ndefault_ca=testca\n[testca]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\n"
                 "default_md=sha256\npolicy=alle\nunique_subject=no\n[alle]\ncommonName=supplied\n"
                 "organizationalUnitName=optional\n");
  dateiSchreiben(ordner_ / "index.txt", "");
  dateiSchreiben(ordner_ / "serial", "1000\n");
  const std::string ca = "keyCertSign,digitalSignature", team = "K7Q2M8X4RB";
  const struct {
    std::string name, aussteller, einheit, grenze, nutzung, zweck;  // zweck: the extended key usage
    int von = 0, bis = 30;                                          // days from now
  } zertifikate[] = {
      {"wurzel", "", "Wurzel", "CA:TRUE", ca, "", -60},
      {"fremdeWurzel", "", "Wurzel", "CA:TRUE", ca, "", -60},
      {"zwischen", "wurzel", "Zwischenstelle", "CA:TRUE", ca, "", -60},
      {"keinCa", "wurzel", team, "CA:FALSE", ca, ""},
      {"unser", "zwischen", team, "CA:FALSE", "digitalSignature", "codeSigning"},
      {"abgelaufen", "zwischen", team, "CA:FALSE", "digitalSignature", "codeSigning", -10, -1},
      {"fremd", "zwischen", "Z9Y8X7W6VU", "CA:FALSE", "digitalSignature", "codeSigning"},
      {"ohneCode", "zwischen", team, "CA:FALSE", "digitalSignature", "serverAuth"},
      {"ohneSignaturNutzung", "zwischen", team, "CA:FALSE", "keyAgreement", "codeSigning"},
      {"vomKeinCa", "keinCa", team, "CA:FALSE", "digitalSignature", "codeSigning"},
      {"falscheWurzel", "fremdeWurzel", team, "CA:FALSE", "digitalSignature", "codeSigning"},
  };
  for (const auto& z : zertifikate) {
    const auto& n = z.name;
    dateiSchreiben(ordner_ / (n + ".ext"),
                   "basicConstraints=critical," + z.grenze + "\nkeyUsage=critical," + z.nutzung + "\n" +
                       (z.zweck.empty() ? "" : "extendedKeyUsage=critical," + z.zweck + "\n"));
    openssl({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
             n + ".key", "-out", n + ".csr", "-subj", "/CN=" + n + "/OU=" + z.einheit});
    // A self-signed one repeats "-batch" where the others name the certificate that signs them.
    const bool selbst = z.aussteller.empty();
    const std::string a = selbst ? n : z.aussteller;
    openssl({"ca", "-batch", "-notext", "-config", "ca.cnf", "-in", n + ".csr", "-out", n + ".pem",
             "-extfile", n + ".ext", "-startdate", tageAb(z.von), "-enddate", tageAb(z.bis), "-keyfile",
             a + ".key", selbst ? "-selfsign" : "-cert", selbst ? "-batch" : a + ".pem"});
  }
}

Signierer TestPki::signierer(const std::string& n) const {
  const std::string kette = n == "vomKeinCa" ? "keinCa" : n == "falscheWurzel" ? "fremdeWurzel" : "zwischen";
  return {ordner_ / (n + ".key"), ordner_ / (n + ".pem"), ordner_ / (kette + ".pem")};
}

const TestPki& testPki() {
  static const TestPki pki;
  return pki;
}

std::unique_ptr<Codesignatur> testpruefung(std::optional<std::filesystem::path> eigenesBuendel) {
  return std::make_unique<OpenSSLCodesignatur>(pem(testPki().wurzelDatei()), std::move(eigenesBuendel));
}

std::map<std::string, std::string> produktDateien() {
  return {{"Contents/Info.plist", "<plist/>"},
          {"Contents/MacOS/TalerWacht", "programm"},
          {"Contents/Resources/starten", "#!/bin/bash\n"},
          {"Contents/Resources/geld-bote", "server"}};
}

void buendelAnlegen(const std::filesystem::path& buendel, const std::map<std::string, std::string>& dateien) {
  for (const auto& [pfad, inhalt] : dateien) {
    std::filesystem::create_directories((buendel / pfad).parent_path());
    dateiSchreiben(buendel / pfad, inhalt);
  }
}

void buendelSignierenAls(const std::filesystem::path& buendel, const Signierer& s,
                         std::optional<std::time_t> zeit, std::string_view kennung) {
  const auto fehler = buendelSignieren(buendel, kennung, pem(s.schluesselDatei), pem(s.zertifikatDatei),
                                       pem(s.ketteDatei), zeit);
  ASSERT_FALSE(fehler) << *fehler;
}

}  // namespace tw
