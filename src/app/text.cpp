#include "app/text.h"

#include <charconv>

namespace tw {
namespace {

// Decodes one code point at `i`; returns its length, or 0 when the bytes are
// not well-formed UTF-8.
std::size_t zeichenLesen(std::string_view s, std::size_t i, char32_t& cp) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  std::size_t laenge;
  char32_t minimum;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    laenge = 2, cp = c & 0x1F, minimum = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    laenge = 3, cp = c & 0x0F, minimum = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    laenge = 4, cp = c & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + laenge > s.size()) return 0;
  for (std::size_t k = 1; k < laenge; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return laenge;
}

// Unicode white space (category Z), tab, and the line ends.
bool leerzeichen(char32_t cp) {
  switch (cp) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

template <typename T>
std::optional<T> ganzzahl(std::string_view text) {
  std::string_view ziffern = text;
  if (!ziffern.empty() && (ziffern.front() == '+' || ziffern.front() == '-')) ziffern.remove_prefix(1);
  if (ziffern.empty()) return std::nullopt;
  for (char c : ziffern)
    if (c < '0' || c > '9') return std::nullopt;
  // from_chars takes a minus but no plus.
  if (text.front() == '+') text.remove_prefix(1);
  T wert{};
  const auto [ende, fehler] = std::from_chars(text.data(), text.data() + text.size(), wert);
  if (fehler != std::errc{} || ende != text.data() + text.size()) return std::nullopt;
  return wert;
}

}  // namespace

bool gueltigesUtf8(std::string_view text) {
  char32_t cp;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = zeichenLesen(text, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string_view getrimmt(std::string_view text) {
  std::size_t anfang = 0;
  char32_t cp;
  while (anfang < text.size()) {
    const std::size_t n = zeichenLesen(text, anfang, cp);
    if (n == 0 || !leerzeichen(cp)) break;
    anfang += n;
  }
  std::size_t ende = text.size();
  while (ende > anfang) {
    // Step back to the start of the last code point.
    std::size_t start = ende - 1;
    while (start > anfang && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    const std::size_t n = zeichenLesen(text, start, cp);
    if (n != ende - start || !leerzeichen(cp)) break;
    ende = start;
  }
  return text.substr(anfang, ende - anfang);
}

std::optional<std::int32_t> ganzzahl32(std::string_view text) { return ganzzahl<std::int32_t>(text); }
std::optional<std::int64_t> ganzzahl64(std::string_view text) { return ganzzahl<std::int64_t>(text); }

bool unreserviert(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string prozentKodiert(std::string_view text, bool (*bleibt)(unsigned char)) {
  std::string aus;
  aus.reserve(text.size());
  prozentKodiertAnhaengen(text, bleibt, [&aus](std::string_view stueck) { aus += stueck; });
  return aus;
}

int hexZiffer(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string hexText(std::span<const unsigned char> bytes) {
  static constexpr char ziffern[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const unsigned char b : bytes) {
    text += ziffern[b >> 4];
    text += ziffern[b & 0xf];
  }
  return text;
}

}  // namespace tw
