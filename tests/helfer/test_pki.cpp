#include "helfer/test_pki.h"

#include <gtest/gtest.h>

#include "app/konstanten.h"
#include "helfer/kindprozess.h"
#include "platform/linux/signatur/openssl_codesignatur.h"

namespace tw {
namespace {

std::string lesen(const std::filesystem::path& datei) {
  std::ostringstream text;
  text << std::ifstream(datei, std::ios::binary).rdbuf();
  return text.str();
}

std::string tageAb(int tage) {
  const std::time_t t = std::time(nullptr) + tage * 86400;
  char text[32];
  std::tm tm{};
  std::strftime(text, sizeof text, "%y%m%d%H%M%SZ", ::gmtime_r(&t, &tm));
  return text;
}

const std::string
    ca = "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,digitalSignature\n",
    code =
        "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
        "extendedKeyUsage=critical,codeSigning\n",
    server = "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n",
    schluesselTausch =
        "basicConstraints=CA:FALSE\nkeyUsage=critical,keyAgreement\nextendedKeyUsage=codeSigning\n",
    keinCa = "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,keyCertSign,digitalSignature\n";

}  // namespace

TestPki::TestPki() {
  const auto openssl = [this](std::vector<std::string> argumente) {
    argumente.insert(argumente.begin(), "/usr/bin/openssl");
    Kindprozess kind({argumente, {}, {}, ordner_.pfad()});
    if (!endeteMit(kind.warten(std::chrono::seconds{20}), 0))
      throw std::runtime_error("openssl " + argumente[1] + ": " + kind.fehler());
  };
  // "openssl ca" is the only command that takes both dates; the CAs begin
  // in the past so that an old signing time can still chain up.
  dateiSchreiben(ordner_ / "ca.cnf",
                 "[ca]\ndefault_ca=testca\n[testca]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\n"
                 "default_md=sha256\npolicy=alle\nunique_subject=no\n[alle]\ncommonName=supplied\n"
                 "organizationalUnitName=optional\n");
  dateiSchreiben(ordner_ / "index.txt", "");
  dateiSchreiben(ordner_ / "serial", "1000\n");
  const struct {
    std::string name, aussteller, einheit, erweiterungen;
    int von = 0, bis = 30;  // days from now
  } zertifikate[] = {
      {"wurzel", "", "Wurzel", ca, -60},
      {"fremdeWurzel", "", "Wurzel", ca, -60},
      {"zwischen", "wurzel", "Zwischenstelle", ca, -60},
      {"abgelaufen", "zwischen", "K7Q2M8X4RB", code, -10, -1},
      {"unser", "zwischen", "K7Q2M8X4RB", code},
      {"fremd", "zwischen", "Z9Y8X7W6VU", code},
      {"ohneCode", "zwischen", "K7Q2M8X4RB", server},
      {"ohneSignaturNutzung", "zwischen", "K7Q2M8X4RB", schluesselTausch},
      {"keinCa", "wurzel", "K7Q2M8X4RB", keinCa},
      {"vomKeinCa", "keinCa", "K7Q2M8X4RB", code},
      {"falscheWurzel", "fremdeWurzel", "K7Q2M8X4RB", code},
  };
  for (const auto& z : zertifikate) {
    const auto& n = z.name;
    dateiSchreiben(ordner_ / (n + ".ext"), z.erweiterungen);
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

std::string TestPki::wurzel() const { return lesen(wurzelDatei()); }

Signierer TestPki::signierer(std::string_view name) const {
  const std::string n(name);
  const auto kette = n == "vomKeinCa" ? "keinCa" : n == "falscheWurzel" ? "fremdeWurzel" : "zwischen";
  Signierer s{
      "", "", "", ordner_ / (n + ".key"), ordner_ / (n + ".pem"), ordner_ / (kette + std::string(".pem"))};
  s.schluessel = lesen(s.schluesselDatei);
  s.zertifikat = lesen(s.zertifikatDatei);
  s.kette = lesen(s.ketteDatei);
  if (s.schluessel.empty() || s.zertifikat.empty()) throw std::runtime_error("no signer " + n);
  return s;
}

std::unique_ptr<Codesignatur> testpruefung(std::optional<std::filesystem::path> eigenesBuendel) {
  return std::make_unique<OpenSSLCodesignatur>(testPki().wurzel(), std::move(eigenesBuendel));
}

const TestPki& testPki() {
  static const TestPki pki;
  return pki;
}

void buendelAnlegen(const std::filesystem::path& buendel, const std::map<std::string, std::string>& dateien) {
  for (const auto& [pfad, inhalt] : dateien) {
    std::filesystem::create_directories((buendel / pfad).parent_path());
    dateiSchreiben(buendel / pfad, inhalt);
  }
}

void buendelSignierenAls(const std::filesystem::path& buendel, const Signierer& s,
                         std::optional<std::time_t> zeit) {
  const auto fehler = buendelSignieren(buendel, programmKennung, s.schluessel, s.zertifikat, s.kette, zeit);
  ASSERT_FALSE(fehler) << *fehler;
}

std::map<std::string, std::string> produktDateien() {
  return {{"Contents/Info.plist", "<plist/>"},
          {"Contents/MacOS/TalerWacht", "programm"},
          {"Contents/Resources/starten", "#!/bin/bash\n"},
          {"Contents/Resources/geld-bote", "server"}};
}

}  // namespace tw
