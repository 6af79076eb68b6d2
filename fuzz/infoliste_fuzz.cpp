// The bundle's Contents/Info.plist, read from a file as the program reads its
// own at start and the signing tool reads a bundle's; the version string then
// goes through the version compare.

#include <cstdint>
#include <cstdlib>

#include "lifecycle/fassung.h"
#include "platform/linux/linux_buendel.h"
#include "pruefen.h"
#include "tempdatei.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  static const tw::Tempdatei datei("Info.plist");
  const auto texte = tw::infoListeLesen(datei.schreiben({reinterpret_cast<const char*>(daten), groesse}));
  if (const auto it = texte.find("CFBundleShortVersionString"); it != texte.end())
    TW_PRUEFEN(!tw::fassungNiedriger(it->second, it->second));
  return 0;
}
