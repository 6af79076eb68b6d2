#include "tresordatei.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <map>
#include <span>

#include "app/text.h"
#include "schluessel.h"

namespace tw {
namespace {

constexpr std::string_view formatName = "geld-bote-tresor-1";
// Enough for the parameters this program writes, and a bound on what a
// tampered file can make a request allocate.
constexpr std::uint64_t groessterSpeicher = 64u << 20;

bool ableiten(const TresorHash& parameter, std::string_view passphrase, std::span<unsigned char> ergebnis) {
  return ::EVP_PBE_scrypt(passphrase.data(), passphrase.size(), parameter.salz.data(), parameter.salz.size(),
                          parameter.n, parameter.r, parameter.p, groessterSpeicher, ergebnis.data(),
                          ergebnis.size()) == 1;
}

bool hexLesen(std::string_view text, std::span<unsigned char> ziel) {
  if (text.size() != ziel.size() * 2) return false;
  for (std::size_t i = 0; i < ziel.size(); ++i) {
    const int hoch = hexZiffer(text[2 * i]), tief = hexZiffer(text[2 * i + 1]);
    if (hoch < 0 || tief < 0) return false;
    ziel[i] = static_cast<unsigned char>(hoch * 16 + tief);
  }
  return true;
}

std::optional<std::uint64_t> parameterLesen(const std::map<std::string_view, std::string_view>& felder,
                                            std::string_view name, std::uint64_t groesste) {
  const auto feld = felder.find(name);
  if (feld == felder.end() || feld->second.empty() || feld->second.front() == '-' ||
      feld->second.front() == '+')
    return std::nullopt;
  const auto wert = ganzzahl64(feld->second);
  if (!wert || *wert < 1 || static_cast<std::uint64_t>(*wert) > groesste) return std::nullopt;
  return static_cast<std::uint64_t>(*wert);
}

}  // namespace

std::optional<std::string> tresorDateiText(std::string_view passphrase) {
  TresorHash neu;
  if (::RAND_bytes(neu.salz.data(), static_cast<int>(neu.salz.size())) != 1) return std::nullopt;
  if (!ableiten(neu, passphrase, neu.hash)) return std::nullopt;
  return "format=" + std::string(formatName) + "\nkdf=scrypt\nn=" + std::to_string(neu.n) +
         "\nr=" + std::to_string(neu.r) + "\np=" + std::to_string(neu.p) + "\nsalz=" + hexText(neu.salz) +
         "\nhash=" + hexText(neu.hash) + "\n";
}

std::optional<TresorHash> tresorDateiLesen(std::string_view text) {
  std::map<std::string_view, std::string_view> felder;
  while (!text.empty()) {
    const auto ende = text.find('\n');
    std::string_view zeile = text.substr(0, ende);
    text = ende == std::string_view::npos ? std::string_view{} : text.substr(ende + 1);
    if (zeile.ends_with('\r')) zeile.remove_suffix(1);
    if (zeile.empty()) continue;
    const auto gleich = zeile.find('=');
    if (gleich == std::string_view::npos) return std::nullopt;
    if (!felder.emplace(zeile.substr(0, gleich), zeile.substr(gleich + 1)).second) return std::nullopt;
  }
  const auto feld = [&felder](std::string_view name) {
    const auto gefunden = felder.find(name);
    return gefunden == felder.end() ? std::string_view{} : gefunden->second;
  };
  if (felder.size() != 7 || feld("format") != formatName || feld("kdf") != "scrypt") return std::nullopt;
  TresorHash gelesen;
  const auto n = parameterLesen(felder, "n", 1u << 20);
  const auto r = parameterLesen(felder, "r", 32);
  const auto p = parameterLesen(felder, "p", 16);
  // scrypt wants N a power of two above 1.
  if (!n || !r || !p || *n < 2 || (*n & (*n - 1)) != 0) return std::nullopt;
  gelesen.n = *n;
  gelesen.r = *r;
  gelesen.p = *p;
  if (!hexLesen(feld("salz"), gelesen.salz) || !hexLesen(feld("hash"), gelesen.hash)) return std::nullopt;
  return gelesen;
}

bool passphrasePasst(const TresorHash& gespeichert, std::string_view passphrase) {
  std::array<unsigned char, 32> berechnet{};
  const bool passt = ableiten(gespeichert, passphrase, berechnet) &&
                     ::CRYPTO_memcmp(berechnet.data(), gespeichert.hash.data(), berechnet.size()) == 0;
  ::OPENSSL_cleanse(berechnet.data(), berechnet.size());
  return passt;
}

}  // namespace tw
