#include "vault/besitzerbestaetigung.h"

namespace tw {

std::string bestaetigungsSatz(const std::string& grund) { return "„Taler Wacht“ versucht, " + grund + "."; }

}  // namespace tw
