#pragma once
// What the menu knows about the remembered passphrase. The keyring is asked
// with the refresh, off the main loop; when it cannot tell (locked against
// searching, or too slow) the last clear answer holds and it is asked less
// often, so that a locked keyring is not pestered every few seconds. The
// user's own vault actions make it look again at once. Main thread only.

#include <cstdint>
#include <optional>

#include "platform/ereignisschleife.h"
#include "vault/passphrase.h"

namespace tw {

class Merkstand {
 public:
  bool gemerkt() const { return gemerkt_; }
  // Whether the refresh starting now looks; its answer must carry the ticket.
  std::optional<std::uint64_t> schauen(Zeitpunkt jetzt) const;
  // The answer of a look; one from before the last `neu` no longer counts.
  void antwort(std::uint64_t karte, Gemerkt gemerkt, Zeitpunkt jetzt);
  // After the user's own action: look with the next refresh, and take
  // what the action itself tells.
  void neu(std::optional<bool> bekannt = std::nullopt);

 private:
  bool gemerkt_ = false;
  std::uint64_t karte_ = 0;
  int unklar_ = 0;  // unclear answers in a row
  Zeitpunkt naechster_{};
};

}  // namespace tw
