#include "schluessel.h"

#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

#include "app/text.h"
#include "status/seitenregeln.h"

namespace tw {

bool brauchbarerSchluessel(std::string_view text, std::size_t hoechstens) {
  return text.size() <= hoechstens && seitenSchluessel(text);
}

std::string zufallsHex(std::size_t bytes) {
  std::vector<unsigned char> puffer(bytes);
  if (::RAND_bytes(puffer.data(), static_cast<int>(puffer.size())) != 1)
    throw std::runtime_error("keine Zufallszahlen von OpenSSL");
  return hexText(puffer);
}

}  // namespace tw
