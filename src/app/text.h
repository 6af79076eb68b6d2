#pragma once
// Small text helpers shared by the file, process and state code.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tw {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool gueltigesUtf8(std::string_view text);

// Removes Unicode whitespace and line ends at both ends. Expects valid UTF-8.
std::string_view getrimmt(std::string_view text);

// Decimal integers as the server writes them: an optional sign, then ASCII
// digits only, no surrounding blanks, no overflow.
std::optional<std::int32_t> ganzzahl32(std::string_view text);
std::optional<std::int64_t> ganzzahl64(std::string_view text);

// ASCII letters, digits and "-._~": what a URL carries unescaped anywhere.
bool unreserviert(unsigned char c);

// Every byte for which `bleibt` is false becomes an upper-case percent-escape.
std::string prozentKodiert(std::string_view text, bool (*bleibt)(unsigned char));
// The same, handed piece by piece to `anhaengen`, for text that must not pass
// through a std::string (a passphrase).
template <class Anhaengen>
void prozentKodiertAnhaengen(std::string_view text, bool (*bleibt)(unsigned char), Anhaengen&& anhaengen) {
  static constexpr char hex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (bleibt(b)) {
      anhaengen(std::string_view(&c, 1));
    } else {
      const char escape[3] = {'%', hex[b >> 4], hex[b & 15]};
      anhaengen(std::string_view(escape, 3));
    }
  }
}

// The value of one hex digit, -1 for any other character.
int hexZiffer(char c);

// Lower-case hex of the bytes.
std::string hexText(std::span<const unsigned char> bytes);

}  // namespace tw
