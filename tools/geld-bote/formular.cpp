#include "formular.h"

#include <openssl/crypto.h>

#include "app/text.h"

namespace tw {
namespace {

// Decodes into `ziel` when given; only checks the encoding otherwise.
bool entschluesseln(std::string_view kodiert, GeheimerText* ziel) {
  for (std::size_t i = 0; i < kodiert.size(); ++i) {
    char zeichen = kodiert[i];
    if (zeichen == '+') {
      zeichen = ' ';
    } else if (zeichen == '%') {
      if (i + 2 >= kodiert.size()) return false;
      const int hoch = hexZiffer(kodiert[i + 1]), tief = hexZiffer(kodiert[i + 2]);
      if (hoch < 0 || tief < 0) return false;
      zeichen = static_cast<char>(hoch * 16 + tief);
      i += 2;
    }
    if (ziel && !ziel->anhaengen(std::string_view(&zeichen, 1))) return false;
  }
  return true;
}

}  // namespace

GeheimerText::~GeheimerText() {
  // Every byte the buffer ever held lies within its capacity.
  text_.resize(text_.capacity());
  ::OPENSSL_cleanse(text_.data(), text_.size());
}

bool GeheimerText::anhaengen(std::string_view teil) {
  if (text_.size() + teil.size() > text_.capacity()) return false;
  text_.append(teil);
  return true;
}

Feld formularFeld(std::string_view koerper, std::string_view name, GeheimerText& ziel) {
  bool gefunden = false;
  while (!koerper.empty()) {
    const auto ende = koerper.find('&');
    const std::string_view paar = koerper.substr(0, ende);
    koerper = ende == std::string_view::npos ? std::string_view{} : koerper.substr(ende + 1);
    if (paar.empty()) continue;
    const auto gleich = paar.find('=');
    const std::string_view feldname = paar.substr(0, gleich);
    const std::string_view wert =
        gleich == std::string_view::npos ? std::string_view{} : paar.substr(gleich + 1);
    if (!entschluesseln(feldname, nullptr) || !entschluesseln(wert, nullptr)) return Feld::kaputt;
    // Field names here are plain ASCII words, so the encoded name is compared.
    if (gefunden || feldname != name) continue;
    if (!entschluesseln(wert, &ziel)) return Feld::kaputt;
    gefunden = true;
  }
  return gefunden ? Feld::da : Feld::fehlt;
}

}  // namespace tw
