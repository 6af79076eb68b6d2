#pragma once
// A small certificate world made with the openssl command, once per test program, in a temporary folder.
// The CAs began 60 days ago, the leaves now (for 30 days):
//   wurzel ─ zwischen ─ unser          OU K7Q2M8X4RB, code signing
//                     ├ fremd          OU of another team
//                     ├ ohneCode       OU K7Q2M8X4RB, server auth only
//                     ├ ohneSignaturNutzung  OU K7Q2M8X4RB, key agreement only
//                     └ abgelaufen     OU K7Q2M8X4RB, valid from 10 to 1 days ago
//          └ keinCa (CA:FALSE) ─ vomKeinCa   OU K7Q2M8X4RB, code signing
//   fremdeWurzel ─ falscheWurzel       OU K7Q2M8X4RB, code signing

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "helfer/temp_ordner.h"
#include "platform/codesignatur.h"

namespace tw {

struct Signierer {
  std::string schluessel, zertifikat, kette;  // PEM; the chain holds the intermediate
  std::filesystem::path schluesselDatei, zertifikatDatei, ketteDatei;
};

class TestPki {
 public:
  TestPki();
  std::string wurzel() const;  // PEM of the root the program should trust
  std::filesystem::path wurzelDatei() const { return ordner_ / "wurzel.pem"; }
  Signierer signierer(std::string_view name) const;

 private:
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
