// A bundle's sealed file list (Contents/_CodeSignature/CodeResources), read
// strictly and compared with what a bundle walk found.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/signatur/codebestand.h"
#include "pruefen.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  using namespace tw;
  const std::string_view text(reinterpret_cast<const char*>(daten), groesse);
  const auto r = ressourcenLesen(text);
  if (!r) return 0;
  TW_PRUEFEN(kennungZulaessig(r->kennung) && ressourcenText(r->kennung, r->dateien) == text);
  for (const auto& [pfad, hash] : r->dateien)
    TW_PRUEFEN(pfad.starts_with("Contents/") && pfad.find('\n') == std::string::npos && hash.size() == 64);

  // Every difference is found: none against itself, the first file when
  // one is missing, changed or added.
  TW_PRUEFEN(!abweichung(r->dateien, r->dateien));
  if (r->dateien.empty()) return 0;
  const auto& [erster, hash] = *r->dateien.begin();
  Dateiliste anders = r->dateien;
  anders.erase(erster);
  TW_PRUEFEN(abweichung(r->dateien, anders).value_or("").find(erster) != std::string::npos);
  TW_PRUEFEN(abweichung(anders, r->dateien).value_or("").find(erster) != std::string::npos);
  anders = r->dateien;
  anders[erster] = std::string(64, hash[0] == '0' ? '1' : '0');
  TW_PRUEFEN(abweichung(r->dateien, anders).value_or("").find(erster) != std::string::npos);
  return 0;
}
