#pragma once
// Code requirements in the small language the program uses:
//   anchor apple generic
//   certificate leaf[subject.OU] = "TEAM"
//   identifier "ID"            (also: identifier = "ID")
// joined by "and". Anything else does not parse.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct Klausel {
  enum class Art { anker, teamEinheit, kennung };
  Art art;
  std::string wert{};  // the quoted text; empty for the anchor
};

struct Anforderung {
  std::vector<Klausel> klauseln;
};

std::optional<Anforderung> anforderungLesen(std::string_view text);

// What a verified signature says about its signer.
struct Unterzeichner {
  bool ketteZumAnker = false;
  std::string kettenfehler{};            // why the chain failed, when it did
  std::vector<std::string> einheiten{};  // the leaf subject's OU entries
  std::string kennung{};                 // the identifier in the signed list
};

// Nothing when every clause holds; otherwise a sentence naming the first
// clause that fails and why.
std::optional<std::string> nichtErfuellt(const Anforderung& anforderung, const Unterzeichner& unterzeichner);

}  // namespace tw
