#pragma once
// The vault file: a salted scrypt hash of the passphrase, never the
// passphrase itself. The text is a few "name=value" lines:
//   format=geld-bote-tresor-1
//   kdf=scrypt
//   n=16384
//   r=8
//   p=1
//   salz=<16 bytes hex>
//   hash=<32 bytes hex>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

struct TresorHash {
  std::uint64_t n = 16384;
  std::uint64_t r = 8;
  std::uint64_t p = 1;
  std::array<unsigned char, 16> salz{};
  std::array<unsigned char, 32> hash{};
};

// The file text for a new vault with a fresh salt; nothing when OpenSSL fails.
std::optional<std::string> tresorDateiText(std::string_view passphrase);

// The stored hash; nothing when the text is not a vault file this program wrote.
std::optional<TresorHash> tresorDateiLesen(std::string_view text);

// Whether the passphrase gives the stored hash; false when OpenSSL fails.
bool passphrasePasst(const TresorHash& gespeichert, std::string_view passphrase);

}  // namespace tw
