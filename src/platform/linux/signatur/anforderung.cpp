#include "platform/linux/signatur/anforderung.h"

#include <cctype>

namespace tw {
namespace {

struct Zeichen {
  enum class Art { wort, text, symbol };
  Art art;
  std::string wert;
};

bool wortzeichen(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '.' || c == '_' || c == '-';
}

// Words, quoted texts (with \" and \\) and the symbols [ ] =.
std::optional<std::vector<Zeichen>> zerlegen(std::string_view text) {
  std::vector<Zeichen> zeichen;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (c == '[' || c == ']' || c == '=') {
      zeichen.push_back({Zeichen::Art::symbol, std::string(1, c)});
      ++i;
    } else if (c == '"') {
      std::string wert;
      for (++i;; ++i) {
        if (i >= text.size()) return std::nullopt;
        char d = text[i];
        if (d == '"') break;
        if (d == '\\') {
          if (++i >= text.size()) return std::nullopt;
          d = text[i];
          if (d != '"' && d != '\\') return std::nullopt;
        } else if (static_cast<unsigned char>(d) < 0x20) {
          return std::nullopt;
        }
        wert += d;
      }
      ++i;
      zeichen.push_back({Zeichen::Art::text, std::move(wert)});
    } else if (wortzeichen(c)) {
      std::string wert;
      while (i < text.size() && wortzeichen(text[i])) wert += text[i++];
      zeichen.push_back({Zeichen::Art::wort, std::move(wert)});
    } else {
      return std::nullopt;
    }
  }
  return zeichen;
}

class Leser {
 public:
  explicit Leser(std::vector<Zeichen> zeichen) : zeichen_(std::move(zeichen)) {}
  bool ende() const { return pos_ == zeichen_.size(); }
  bool wort(std::string_view w) { return nimm(Zeichen::Art::wort, w); }
  bool symbol(std::string_view s) { return nimm(Zeichen::Art::symbol, s); }
  std::optional<std::string> text() {
    if (ende() || zeichen_[pos_].art != Zeichen::Art::text) return std::nullopt;
    return zeichen_[pos_++].wert;
  }

 private:
  bool nimm(Zeichen::Art art, std::string_view wert) {
    if (ende() || zeichen_[pos_].art != art || zeichen_[pos_].wert != wert) return false;
    ++pos_;
    return true;
  }
  std::vector<Zeichen> zeichen_;
  std::size_t pos_ = 0;
};

std::optional<Klausel> klauselLesen(Leser& l) {
  if (l.wort("anchor")) {
    if (l.wort("apple") && l.wort("generic")) return Klausel{Klausel::Art::anker};
    return std::nullopt;
  }
  if (l.wort("certificate")) {
    if (!(l.wort("leaf") && l.symbol("[") && l.wort("subject.OU") && l.symbol("]") && l.symbol("=")))
      return std::nullopt;
    auto wert = l.text();
    if (!wert) return std::nullopt;
    return Klausel{Klausel::Art::teamEinheit, std::move(*wert)};
  }
  if (l.wort("identifier")) {
    l.symbol("=");
    auto wert = l.text();
    if (!wert) return std::nullopt;
    return Klausel{Klausel::Art::kennung, std::move(*wert)};
  }
  return std::nullopt;
}

}  // namespace

std::optional<Anforderung> anforderungLesen(std::string_view text) {
  auto zeichen = zerlegen(text);
  if (!zeichen) return std::nullopt;
  Leser l(std::move(*zeichen));
  Anforderung anforderung;
  do {
    auto klausel = klauselLesen(l);
    if (!klausel) return std::nullopt;
    anforderung.klauseln.push_back(std::move(*klausel));
  } while (l.wort("and"));
  if (!l.ende()) return std::nullopt;
  return anforderung;
}

std::optional<std::string> nichtErfuellt(const Anforderung& anforderung, const Unterzeichner& u) {
  for (const auto& k : anforderung.klauseln) {
    switch (k.art) {
      case Klausel::Art::anker:
        if (!u.ketteZumAnker)
          return "Das Zertifikat führt nicht zu unserem Stammzertifikat (" + u.kettenfehler + ").";
        break;
      case Klausel::Art::teamEinheit:
        if (u.einheiten.size() != 1)
          return "Das Zertifikat nennt " + std::to_string(u.einheiten.size()) +
                 " Organisationseinheiten statt genau einer.";
        if (u.einheiten.front() != k.wert)
          return "Das Zertifikat gehört dem Team \"" + u.einheiten.front() + "\", nicht \"" + k.wert + "\".";
        break;
      case Klausel::Art::kennung:
        if (u.kennung != k.wert) return "Die Kennung \"" + u.kennung + "\" ist nicht \"" + k.wert + "\".";
        break;
    }
  }
  return std::nullopt;
}

}  // namespace tw
