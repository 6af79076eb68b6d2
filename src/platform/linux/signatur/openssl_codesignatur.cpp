#include "platform/linux/signatur/openssl_codesignatur.h"

#include <sys/stat.h>

#include <fstream>

#include "app/dateien.h"
#include "platform/hauptbuendel.h"
#include "platform/linux/signatur/anforderung.h"
#include "platform/linux/signatur/codebestand.h"

namespace tw {
namespace {

// A signature file is small; anything bigger is not ours.
constexpr std::size_t groessteSignaturdatei = 16 << 20;

SignaturBefund ungueltig(std::string grund) { return {SignaturBefund::Art::ungueltig, std::move(grund)}; }

bool schreiben(const std::filesystem::path& datei, std::string_view inhalt) {
  std::ofstream aus(datei, std::ios::binary | std::ios::trunc);
  aus.write(inhalt.data(), static_cast<std::streamsize>(inhalt.size()));
  aus.close();
  return static_cast<bool>(aus);
}

}  // namespace

OpenSSLCodesignatur::OpenSSLCodesignatur(std::string_view ankerPem,
                                         std::optional<std::filesystem::path> eigenesBuendel)
    : anker_(zertifikatLesen(ankerPem)), eigenesBuendel_(std::move(eigenesBuendel)) {}

SignaturBefund OpenSSLCodesignatur::eigenenCodePruefen(std::string_view anforderung) const {
  if (!eigenesBuendel_) return ungueltig("Das Programm liegt in keinem Bündel und ist nicht signiert.");
  return buendelPruefen(*eigenesBuendel_, anforderung);
}

SignaturBefund OpenSSLCodesignatur::buendelPruefen(const std::filesystem::path& buendel,
                                                   std::string_view anforderungText) const {
  struct stat st {};
  if (::lstat(buendel.c_str(), &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)))
    return {SignaturBefund::Art::keinCode};
  const auto anforderung = anforderungLesen(anforderungText);
  if (!anforderung) return {SignaturBefund::Art::keineAnforderung};
  if (S_ISLNK(st.st_mode)) return ungueltig("Das Bündel ist ein symbolischer Link.");

  const auto liste = rohLesen(buendel / ressourcenDatei, groessteSignaturdatei);
  const auto signatur = rohLesen(buendel / signaturDatei, groessteSignaturdatei);
  if (!liste || !signatur) return ungueltig("Das Bündel ist nicht signiert.");
  const auto ressourcen = ressourcenLesen(*liste);
  if (!ressourcen) return ungueltig("Die Liste der versiegelten Dateien ist beschädigt.");

  auto pruefung = cmsPruefen(*liste, *signatur, anker_.get(), std::time(nullptr));
  if (pruefung.fehler) return ungueltig(std::move(*pruefung.fehler));
  pruefung.unterzeichner.kennung = ressourcen->kennung;
  if (auto grund = nichtErfuellt(*anforderung, pruefung.unterzeichner)) return ungueltig(std::move(*grund));

  auto bestand = bestandAufnehmen(buendel);
  if (bestand.fehler) return ungueltig(std::move(*bestand.fehler));
  if (auto grund = abweichung(ressourcen->dateien, bestand.dateien)) return ungueltig(std::move(*grund));
  return {SignaturBefund::Art::gueltig};
}

std::optional<std::string> buendelSignieren(const std::filesystem::path& buendel, std::string_view kennung,
                                            std::string_view schluesselPem, std::string_view zertifikatPem,
                                            std::string_view kettePem, std::optional<std::time_t> zeit) {
  if (!kennungZulaessig(kennung)) return "Die Kennung ist leer oder enthält Leer- oder Steuerzeichen.";
  auto bestand = bestandAufnehmen(buendel);
  if (bestand.fehler) return bestand.fehler;
  const std::string liste = ressourcenText(kennung, bestand.dateien);
  auto signatur = cmsSignieren(liste, schluesselPem, zertifikatPem, kettePem, zeit);
  if (signatur.fehler) return signatur.fehler;

  const auto ordner = buendel / signaturOrdner;
  std::error_code fehler;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(ordner, fehler)))
    return "Contents/_CodeSignature ist ein symbolischer Link.";
  std::filesystem::create_directories(ordner, fehler);
  if (fehler) return "Der Ordner Contents/_CodeSignature lässt sich nicht anlegen.";
  // Old files go first, so that a link in their place is never written through.
  std::filesystem::remove(buendel / ressourcenDatei, fehler);
  std::filesystem::remove(buendel / signaturDatei, fehler);
  if (!schreiben(buendel / ressourcenDatei, liste) || !schreiben(buendel / signaturDatei, signatur.der))
    return "Die Signaturdateien lassen sich nicht schreiben.";
  return std::nullopt;
}

const Codesignatur& codesignatur() {
  static const OpenSSLCodesignatur echt(herstellerAnker(), [] {
    const auto ort = hauptbuendel().ort();
    return ort.extension() == ".app" ? std::optional(ort) : std::nullopt;
  }());
  return echt;
}

}  // namespace tw
