#include "helfer/temp_ordner.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <string>

namespace tw {

TempOrdner::TempOrdner() {
  std::string vorlage = (std::filesystem::temp_directory_path() / "tw-test-XXXXXX").string();
  if (!::mkdtemp(vorlage.data())) throw std::runtime_error("mkdtemp");
  pfad_ = vorlage;
}

TempOrdner::~TempOrdner() {
  std::error_code fehler;
  std::filesystem::remove_all(pfad_, fehler);
}

void dateiSchreiben(const std::filesystem::path& datei, std::string_view inhalt) {
  std::ofstream(datei, std::ios::binary | std::ios::trunc) << inhalt;
}

}  // namespace tw
