#pragma once
// The gate in front of every start script: only bundles signed by the maker
// may run, unless this program itself runs unsigned (a development build).
// Safe from any thread.

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "lifecycle/buendelstand.h"
#include "platform/codesignatur.h"

namespace tw {

// "anchor apple generic and certificate leaf[subject.OU] = "<team>" and identifier "<id>""
std::string buendelAnforderung();

class Signaturtor {
 public:
  explicit Signaturtor(const Codesignatur& codesignatur) : codesignatur_(codesignatur) {}

  // Whether this program is validly signed; computed once, logged once when not.
  bool selbstSigniert();

  // Whether the bundle may be used. Verdicts are kept per path for as long
  // as nothing in the bundle has changed.
  bool buendelVertrauenswuerdig(const std::filesystem::path& buendel);

 private:
  struct Urteil {
    std::optional<Buendelstand> stand;  // taken before the check
    bool ok;
  };

  const Codesignatur& codesignatur_;
  std::once_flag einmal_;
  bool selbstSigniert_ = false;
  std::mutex signaturSchloss_;  // guards the verdicts and serialises checks
  std::map<std::string, Urteil> signaturUrteile_;
};

// The program's own gate, on the real signature check.
bool selbstSigniert();
bool buendelVertrauenswuerdig(const std::filesystem::path& buendel);

}  // namespace tw
