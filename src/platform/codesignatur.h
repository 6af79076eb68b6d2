#pragma once
// Seam: code signatures of application bundles. Linux: OpenSSLCodesignatur,
// a list of file hashes under a detached CMS signature, checked with OpenSSL.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

struct SignaturBefund {
  enum class Art {
    gueltig,           // signed and the requirement holds
    keinCode,          // nothing at the path that could carry a signature
    keineAnforderung,  // the requirement text does not parse
    ungueltig,         // unsigned, tampered with, or the requirement fails
  };
  Art art = Art::ungueltig;
  // For `ungueltig`: a readable sentence saying why.
  std::optional<std::string> grund{};
};

struct Codesignatur {
  virtual ~Codesignatur() = default;
  // The running program against a requirement text.
  virtual SignaturBefund eigenenCodePruefen(std::string_view anforderung) const = 0;
  // A bundle on disk against a requirement text.
  virtual SignaturBefund buendelPruefen(const std::filesystem::path& buendel,
                                        std::string_view anforderung) const = 0;
};

// The program's own check, with the maker's root certificate as anchor.
const Codesignatur& codesignatur();

}  // namespace tw
