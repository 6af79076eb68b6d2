#pragma once
// Fields of a posted form (application/x-www-form-urlencoded), kept in
// buffers that are wiped when they go, since one of them is a passphrase.

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// A text of bounded size that is overwritten before its memory is freed.
// It never grows past the size given at construction, so no copy of its
// bytes is ever left behind in freed memory.
class GeheimerText {
 public:
  explicit GeheimerText(std::size_t hoechstens) { text_.reserve(hoechstens); }
  ~GeheimerText();
  GeheimerText(const GeheimerText&) = delete;
  GeheimerText& operator=(const GeheimerText&) = delete;

  // False, leaving the text as it was, when it would grow past its bound.
  bool anhaengen(std::string_view teil);
  std::string_view text() const { return text_; }

 private:
  std::string text_;
};

enum class Feld { fehlt, kaputt, da };

// Decodes the first field called `name` into `ziel` ("+" is a space, "%XX" a
// byte). `kaputt` when the body is not proper form encoding.
Feld formularFeld(std::string_view koerper, std::string_view name, GeheimerText& ziel);

}  // namespace tw
