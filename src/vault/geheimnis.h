#pragma once
// A secret in memory (the vault passphrase, a form body that carries it): it
// cannot be copied by accident, and its bytes are wiped whenever they are
// given up — on destruction, on growth and when moved from.

#include <cstddef>
#include <string_view>

namespace tw {

class Geheimnis {
 public:
  Geheimnis() = default;
  explicit Geheimnis(std::string_view text) { anhaengen(text); }
  Geheimnis(Geheimnis&& anderes) noexcept;
  Geheimnis& operator=(Geheimnis&& anderes) noexcept;
  Geheimnis(const Geheimnis&) = delete;
  Geheimnis& operator=(const Geheimnis&) = delete;
  ~Geheimnis() { leeren(); }

  void anhaengen(std::string_view text);
  void anhaengen(char zeichen) { anhaengen(std::string_view(&zeichen, 1)); }
  // Room for `groesse` bytes in all, so that appending does not move the text.
  void reservieren(std::size_t groesse);
  void leeren();

  std::string_view text() const { return {daten_ ? daten_ : "", laenge_}; }
  const char* c_str() const { return daten_ ? daten_ : ""; }  // always NUL-terminated
  std::size_t size() const { return laenge_; }
  bool empty() const { return laenge_ == 0; }
  bool operator==(std::string_view text) const { return this->text() == text; }

 private:
  char* daten_ = nullptr;
  std::size_t laenge_ = 0;
  std::size_t platz_ = 0;
};

// Form encoding of `wert` straight into a secret, so that the encoded copy is
// wiped as well.
void formKodiertAnhaengen(Geheimnis& ziel, std::string_view wert);

}  // namespace tw
