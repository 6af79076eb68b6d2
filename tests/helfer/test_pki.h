#pragma once
// A small certificate world made with the openssl command, once per test program, in a temporary
// folder. The table in test_pki.cpp names each certificate and what is wrong with it.

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/konstanten.h"
#include "helfer/temp_ordner.h"
#include "platform/codesignatur.h"

namespace tw {

struct Signierer {
  std::filesystem::path schluesselDatei, zertifikatDatei, ketteDatei;  // PEM; the chain is the issuer
};

class TestPki {
 public:
  TestPki();
  std::filesystem::path wurzelDatei() const { return ordner_ / "wurzel.pem"; }  // the root to trust
  Signierer signierer(const std::string& name) const;
  // Runs openssl in the folder, where each certificate is <name>.pem and its key <name>.key.
  void openssl(std::vector<std::string> argumente) const;

 private:
  TempOrdner ordner_;
};
const TestPki& testPki();

// The program's signature check with the test root as anchor; `eigenesBuendel`
// is the bundle the checked program pretends to run from.
std::unique_ptr<Codesignatur> testpruefung(std::optional<std::filesystem::path> eigenesBuendel);

// The files (path in the bundle → content) of a typical product bundle.
std::map<std::string, std::string> produktDateien();
void buendelAnlegen(const std::filesystem::path& buendel,
                    const std::map<std::string, std::string>& dateien = produktDateien());

// Signs the bundle with this signer; fails the test on error.
void buendelSignierenAls(const std::filesystem::path& buendel, const Signierer& signierer,
                         std::optional<std::time_t> zeit = std::nullopt,
                         std::string_view kennung = programmKennung);

}  // namespace tw
