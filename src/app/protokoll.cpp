#include "app/protokoll.h"

#include <unistd.h>

#include <atomic>
#include <string>

namespace tw {
namespace {

std::atomic<Protokoll*> eingesetzt{nullptr};

}  // namespace

void protokollieren(std::string_view nachricht) {
  std::string zeile = "Taler Wacht: ";
  zeile += nachricht;
  if (Protokoll* p = eingesetzt.load()) {
    p->zeile(zeile);
    return;
  }
  zeile += '\n';
  // One write per line keeps lines from different threads apart.
  [[maybe_unused]] auto n = ::write(STDERR_FILENO, zeile.data(), zeile.size());
}

Protokoll* protokollEinsetzen(Protokoll* neu) { return eingesetzt.exchange(neu); }

}  // namespace tw
