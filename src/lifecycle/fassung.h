#pragma once
// Version labels: "1.7.2_demo" counts as 1.7.2, and 1.10.0 is newer than 1.9.9.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tw {

// The numbers of the first "digits.digits.digits" in the text; [0] when there
// is none. A number too large to hold counts as 0.
std::vector<std::int64_t> nummer(std::string_view text);

// Whether version `a` is lower than version `b`, number by number; of two
// labels where one is a prefix of the other, the shorter is lower.
bool fassungNiedriger(std::string_view a, std::string_view b);

}  // namespace tw
