// A local server's answer to "zustand": parsed as the HTTP client parses a
// body, its fields taken as the status collection takes them, the version
// compared with ours, and the snapshot printed as the status command does.

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "lifecycle/fassung.h"
#include "pruefen.h"
#include "status/zustand_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  auto json = nlohmann::json::parse(daten, daten + groesse, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return 0;

  const auto it = json.find("fassung");
  const std::string fassung = it != json.end() && it->is_string() ? it->get<std::string>() : "";
  // An order on versions: never both lower, never lower than itself.
  constexpr std::string_view eigene = "1.7.2_demo";
  TW_PRUEFEN(!(tw::fassungNiedriger(eigene, fassung) && tw::fassungNiedriger(fassung, eigene)));
  TW_PRUEFEN(!tw::fassungNiedriger(fassung, fassung));
  TW_PRUEFEN(tw::nummer(fassung).size() == 3 || tw::nummer(fassung) == std::vector<std::int64_t>{0});

  tw::Zustand z;
  z.fremdeFassung = fassung;
  if (const auto t = json.find("tresor"); t != json.end() && t->is_string()) z.tresor = t->get<std::string>();
  if (const auto r = json.find("restminuten"); r != json.end()) {
    if (r->is_number_unsigned() && r->get<std::uint64_t>() <= INT64_MAX)
      z.restminuten = static_cast<std::int64_t>(r->get<std::uint64_t>());
    else if (r->is_number_integer())
      z.restminuten = r->get<std::int64_t>();
  }

  // The parser took only UTF-8, so the strict dump must not throw, and the
  // texts come back unchanged.
  const auto zurueck = nlohmann::json::parse(tw::zustandAlsJson(z).dump(2));
  TW_PRUEFEN(zurueck["fremdeFassung"] == fassung && zurueck["tresor"] == z.tresor);
  TW_PRUEFEN(z.restminuten ? zurueck["restminuten"] == *z.restminuten : zurueck["restminuten"].is_null());
  return 0;
}
