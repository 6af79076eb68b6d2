#include "vault/merkstand.h"

#include <algorithm>

namespace tw {

using namespace std::chrono_literals;

std::optional<std::uint64_t> Merkstand::schauen(Zeitpunkt jetzt) const {
  if (jetzt < naechster_) return std::nullopt;
  return karte_;
}

void Merkstand::antwort(std::uint64_t karte, Gemerkt gemerkt, Zeitpunkt jetzt) {
  if (karte != karte_) return;
  if (gemerkt == Gemerkt::unklar) {
    // 30 s, then twice as long each time, at most ten minutes.
    const auto pause = std::min<Dauer>(30s * (1 << std::min(unklar_, 5)), 10min);
    ++unklar_;
    naechster_ = jetzt + pause;
    return;
  }
  gemerkt_ = gemerkt == Gemerkt::ja;
  unklar_ = 0;
  naechster_ = {};
}

void Merkstand::neu(std::optional<bool> bekannt) {
  ++karte_;
  if (bekannt) gemerkt_ = *bekannt;
  unklar_ = 0;
  naechster_ = {};
}

}  // namespace tw
