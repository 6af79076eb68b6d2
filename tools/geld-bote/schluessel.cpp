#include "schluessel.h"

#include <openssl/rand.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "app/text.h"

namespace tw {

bool brauchbarerSchluessel(std::string_view text, std::size_t hoechstens) {
  if (text.empty() || text.size() > hoechstens) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return unreserviert(c); });
}

int hexZiffer(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string hexText(std::span<const unsigned char> bytes) {
  static constexpr char ziffern[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const unsigned char b : bytes) {
    text += ziffern[b >> 4];
    text += ziffern[b & 0xf];
  }
  return text;
}

std::string zufallsHex(std::size_t bytes) {
  std::vector<unsigned char> puffer(bytes);
  if (::RAND_bytes(puffer.data(), static_cast<int>(puffer.size())) != 1)
    throw std::runtime_error("keine Zufallszahlen von OpenSSL");
  return hexText(puffer);
}

}  // namespace tw
