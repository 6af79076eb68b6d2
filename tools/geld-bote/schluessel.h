#pragma once
// Page keys: which texts may stand in a page address, and fresh random ones.

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// A page key as the menu app accepts it (seitenSchluessel), at most
// `hoechstens` characters long.
bool brauchbarerSchluessel(std::string_view text, std::size_t hoechstens = std::string_view::npos);

// `bytes` random bytes from OpenSSL as hex; throws std::runtime_error when
// OpenSSL has no randomness to give.
std::string zufallsHex(std::size_t bytes);

}  // namespace tw
