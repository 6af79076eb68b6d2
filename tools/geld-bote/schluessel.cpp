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

std::string zufallsHex(std::size_t bytes) {
  std::vector<unsigned char> puffer(bytes);
  if (::RAND_bytes(puffer.data(), static_cast<int>(puffer.size())) != 1)
    throw std::runtime_error("keine Zufallszahlen von OpenSSL");
  return hexText(puffer);
}

}  // namespace tw
