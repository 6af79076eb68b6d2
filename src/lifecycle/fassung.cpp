#include "lifecycle/fassung.h"

#include <charconv>

namespace tw {
namespace {

bool ziffer(char c) { return c >= '0' && c <= '9'; }

std::size_t ziffernEnde(std::string_view text, std::size_t i) {
  while (i < text.size() && ziffer(text[i])) ++i;
  return i;
}

}  // namespace

std::vector<std::int64_t> nummer(std::string_view text) {
  // A label can only start where a run of digits starts: inside a run, the
  // dots that follow it are the same.
  for (std::size_t anfang = 0; anfang < text.size(); ++anfang) {
    if (!ziffer(text[anfang]) || (anfang > 0 && ziffer(text[anfang - 1]))) continue;
    std::vector<std::int64_t> teile;
    std::size_t i = anfang;
    for (int teil = 0; teil < 3; ++teil) {
      if (teil > 0) {
        if (i >= text.size() || text[i] != '.') break;
        ++i;
      }
      const std::size_t ende = ziffernEnde(text, i);
      if (ende == i) break;
      std::int64_t wert = 0;
      if (std::from_chars(text.data() + i, text.data() + ende, wert).ec != std::errc{}) wert = 0;
      teile.push_back(wert);
      i = ende;
    }
    if (teile.size() == 3) return teile;
  }
  return {0};
}

bool fassungNiedriger(std::string_view a, std::string_view b) { return nummer(a) < nummer(b); }

}  // namespace tw
