#include "helfer/test_pki.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/konstanten.h"
#include "helfer/kindprozess.h"
#include "platform/linux/signatur/openssl_codesignatur.h"

namespace tw {
namespace {

std::string lesen(const std::filesystem::path& datei) {
  std::ifstream ein(datei, std::ios::binary);
  std::ostringstream text;
  text << ein.rdbuf();
  return text.str();
}

std::string zeitText(std::time_t t) {
  char text[32];
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  std::strftime(text, sizeof text, "%y%m%d%H%M%SZ", &tm);
  return text;
}

constexpr const char* blattErweiterung =
    "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,"
    "codeSigning\n";
constexpr const char* caErweiterung =
    "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,digitalSignature\n";

}  // namespace

void TestPki::openssl(std::initializer_list<std::string> argumente) const {
  Start start{{"/usr/bin/openssl"}, {}, {}, ordner_.pfad()};
  start.argumente.insert(start.argumente.end(), argumente);
  Kindprozess kind(start);
  if (!endeteMit(kind.warten(std::chrono::seconds{20}), 0))
    throw std::runtime_error("openssl " + *argumente.begin() + ": " + kind.fehler());
}

void TestPki::anfrage(const std::string& name, const std::string& einheit,
                      const std::string& erweiterungen) const {
  dateiSchreiben(ordner_ / (name + ".ext"), erweiterungen);
  openssl({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
           name + ".key", "-out", name + ".csr", "-subj", "/CN=" + name + "/OU=" + einheit});
}

// Valid from now on for 30 days.
void TestPki::blatt(const std::string& name, const std::string& aussteller, const std::string& einheit,
                    const std::string& erweiterungen) const {
  anfrage(name, einheit, erweiterungen);
  openssl({"x509", "-req", "-in", name + ".csr", "-CA", aussteller + ".pem", "-CAkey", aussteller + ".key",
           "-CAcreateserial", "-days", "30", "-extfile", name + ".ext", "-out", name + ".pem"});
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
  const std::time_t jetzt = std::time(nullptr);
  const std::string frueher = zeitText(jetzt - 60 * 86400), spaeter = zeitText(jetzt + 30 * 86400);
  for (const std::string wurzel : {"wurzel", "fremdeWurzel"}) {
    anfrage(wurzel, "Wurzel", caErweiterung);
    openssl({"ca", "-batch", "-notext", "-config", "ca.cnf", "-selfsign", "-keyfile", wurzel + ".key", "-in",
             wurzel + ".csr", "-out", wurzel + ".pem", "-extfile", wurzel + ".ext", "-startdate", frueher,
             "-enddate", spaeter});
  }
  anfrage("zwischen", "Zwischenstelle", caErweiterung);
  openssl({"ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", "wurzel.pem", "-keyfile", "wurzel.key",
           "-in", "zwischen.csr", "-out", "zwischen.pem", "-extfile", "zwischen.ext", "-startdate", frueher,
           "-enddate", spaeter});
  anfrage("abgelaufen", "K7Q2M8X4RB", blattErweiterung);
  openssl({"ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", "zwischen.pem", "-keyfile",
           "zwischen.key", "-in", "abgelaufen.csr", "-out", "abgelaufen.pem", "-extfile", "abgelaufen.ext",
           "-startdate", zeitText(jetzt - 10 * 86400), "-enddate", zeitText(jetzt - 86400)});

  blatt("unser", "zwischen", "K7Q2M8X4RB", blattErweiterung);
  blatt("fremd", "zwischen", "Z9Y8X7W6VU", blattErweiterung);
  blatt("ohneCode", "zwischen", "K7Q2M8X4RB",
        "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n");
  blatt("ohneSignaturNutzung", "zwischen", "K7Q2M8X4RB",
        "basicConstraints=CA:FALSE\nkeyUsage=critical,keyAgreement\nextendedKeyUsage=codeSigning\n");
  blatt("keinCa", "wurzel", "K7Q2M8X4RB",
        "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,keyCertSign,digitalSignature\n");
  blatt("vomKeinCa", "keinCa", "K7Q2M8X4RB", blattErweiterung);
  blatt("falscheWurzel", "fremdeWurzel", "K7Q2M8X4RB", blattErweiterung);
}

std::string TestPki::wurzel() const { return lesen(wurzelDatei()); }

Signierer TestPki::signierer(std::string_view name) const {
  const std::string n(name);
  Signierer s;
  s.schluesselDatei = ordner_ / (n + ".key");
  s.zertifikatDatei = ordner_ / (n + ".pem");
  s.ketteDatei = ordner_ / (n == "vomKeinCa"       ? "keinCa.pem"
                            : n == "falscheWurzel" ? "fremdeWurzel.pem"
                                                   : "zwischen.pem");
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
