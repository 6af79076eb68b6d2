#include "melden.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace tw {

void melden(std::string_view nachricht) {
  std::string zeile = "geld-bote: ";
  zeile += nachricht;
  zeile += '\n';
  // One write per line keeps lines from the request threads apart.
  std::string_view rest = zeile;
  while (!rest.empty()) {
    const ssize_t n = ::write(STDERR_FILENO, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace tw
