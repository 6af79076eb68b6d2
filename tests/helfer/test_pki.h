#pragma once
// A small certificate world made with the openssl command, once per test
// program, in a temporary folder:
// The two roots and the intermediate began 60 days ago.
//   wurzel ─ zwischen ─ unser          OU K7Q2M8X4RB, code signing
//                     ├ fremd          OU of another team
//                     ├ ohneCode       OU K7Q2M8X4RB, server auth only
//                     ├ ohneSignaturNutzung  OU K7Q2M8X4RB, key agreement only
//                     └ abgelaufen     OU K7Q2M8X4RB, valid from 10 to 1 days ago
//          └ keinCa (CA:FALSE) ─ vomKeinCa   OU K7Q2M8X4RB, code signing
//   fremdeWurzel ─ falscheWurzel       OU K7Q2M8X4RB, code signing

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "helfer/temp_ordner.h"
#include "platform/codesignatur.h"

namespace tw {

struct Signierer {
  std::string schluessel;  // PEM
  std::string zertifikat;  // PEM
  std::string kette;       // intermediates, PEM
  std::filesystem::path schluesselDatei, zertifikatDatei, ketteDatei;
};

class TestPki {
 public:
  TestPki();
  std::string wurzel() const;  // PEM of the root the program should trust
  std::filesystem::path wurzelDatei() const { return ordner_ / "wurzel.pem"; }
  Signierer signierer(std::string_view name) const;

 private:
  void openssl(std::initializer_list<std::string> argumente) const;
  void anfrage(const std::string& name, const std::string& einheit, const std::string& erweiterungen) const;
  void blatt(const std::string& name, const std::string& aussteller, const std::string& einheit,
             const std::string& erweiterungen) const;
  TempOrdner ordner_;
};

const TestPki& testPki();

// The program's signature check with the test root as anchor; `eigenesBuendel`
// is the bundle the checked program pretends to run from.
std::unique_ptr<Codesignatur> testpruefung(std::optional<std::filesystem::path> eigenesBuendel);

// Writes the files (path from the bundle → content) of a small bundle.
void buendelAnlegen(const std::filesystem::path& buendel, const std::map<std::string, std::string>& dateien);

// Signs the bundle as the product with this signer; fails the test on error.
void buendelSignierenAls(const std::filesystem::path& buendel, const Signierer& signierer,
                         std::optional<std::time_t> zeit = std::nullopt);

// The files of a typical product bundle.
std::map<std::string, std::string> produktDateien();

}  // namespace tw
