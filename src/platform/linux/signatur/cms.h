#pragma once
// Detached CMS signatures (DER) over a byte string, made and checked with
// OpenSSL 3.
//
// Certificate times are judged at the signing time the signature carries (a
// signed attribute), not at the time of the check: a bundle signed while the
// maker's certificate was valid stays valid after it expires. A signature
// without signing time, or with one in the future, is refused.

#include <openssl/x509.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/signatur/anforderung.h"

namespace tw {

struct X509Freigabe {
  void operator()(X509* x) const { X509_free(x); }
};
using Zertifikat = std::unique_ptr<X509, X509Freigabe>;

// The first certificate of a PEM text.
Zertifikat zertifikatLesen(std::string_view pem);

struct CmsPruefung {
  std::optional<std::string> fehler;  // a sentence when the signature itself does not hold
  Unterzeichner unterzeichner{};      // filled when it does, except the identifier
};

// Exactly one signer, a valid signature over `daten`, a signer certificate
// for code signing (extended key usage) and digital signatures (key usage).
// Whether its chain leads to `anker` is reported, not required.
CmsPruefung cmsPruefen(std::string_view daten, std::string_view der, X509* anker, std::time_t jetzt);

struct CmsSignatur {
  std::string der;
  std::optional<std::string> fehler;
};

// Signs `daten` with the key and certificate (PEM); `kettePem` holds the
// intermediate certificates to include, if any. `zeit` replaces the current
// time as signing time.
CmsSignatur cmsSignieren(std::string_view daten, std::string_view schluesselPem,
                         std::string_view zertifikatPem, std::string_view kettePem,
                         std::optional<std::time_t> zeit = std::nullopt);

// Leeway for clocks that run a little apart.
inline constexpr std::time_t zeitSpielraum = 300;

}  // namespace tw
