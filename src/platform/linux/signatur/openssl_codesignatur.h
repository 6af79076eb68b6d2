#pragma once
// Codesignatur for Linux. A signed bundle carries
//   Contents/_CodeSignature/CodeResources  the identifier and a SHA-256 per file
//   Contents/_CodeSignature/CodeSignature  a detached DER CMS signature over it
// "anchor apple generic" means: the signer's chain ends at `anker`.

#include <optional>
#include <string_view>

#include "platform/codesignatur.h"
#include "platform/linux/signatur/cms.h"

namespace tw {

class OpenSSLCodesignatur final : public Codesignatur {
 public:
  // `eigenesBuendel`: the bundle the running program came from, if any.
  OpenSSLCodesignatur(std::string_view ankerPem, std::optional<std::filesystem::path> eigenesBuendel);

  SignaturBefund eigenenCodePruefen(std::string_view anforderung) const override;
  SignaturBefund buendelPruefen(const std::filesystem::path& buendel,
                                std::string_view anforderung) const override;

 private:
  Zertifikat anker_;
  std::optional<std::filesystem::path> eigenesBuendel_;
};

// The maker's root certificate (PEM), built into the program.
std::string_view herstellerAnker();

// Seals and signs the bundle in place: writes the two files above.
// Nothing on success, otherwise a sentence.
std::optional<std::string> buendelSignieren(const std::filesystem::path& buendel, std::string_view kennung,
                                            std::string_view schluesselPem, std::string_view zertifikatPem,
                                            std::string_view kettePem,
                                            std::optional<std::time_t> zeit = std::nullopt);

}  // namespace tw
