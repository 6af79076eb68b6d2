#include "platform/dialoge.h"

#include <algorithm>

namespace tw {
namespace {

// An alert without buttons still needs one to be answered.
std::vector<std::string> knoepfeVon(const Hinweis& hinweis) {
  return hinweis.knoepfe.empty() ? std::vector<std::string>{"OK"} : hinweis.knoepfe;
}

}  // namespace

std::vector<Knopf> knopfReihe(const Hinweis& hinweis) {
  const auto knoepfe = knoepfeVon(hinweis);
  std::vector<Knopf> reihe;
  for (auto i = static_cast<int>(knoepfe.size()); i-- > 0;) {
    Knopf knopf{.titel = "", .antwort = ersterKnopf + i};
    for (const char c : knoepfe[i]) {
      if (c == '_') knopf.titel += '_';
      knopf.titel += c;
    }
    reihe.push_back(std::move(knopf));
  }
  return reihe;
}

int knopfFuer(const Hinweis& hinweis, int antwort) {
  const auto knoepfe = knoepfeVon(hinweis);
  const int anzahl = static_cast<int>(knoepfe.size());
  if (antwort >= ersterKnopf && antwort < ersterKnopf + anzahl) return antwort;
  if (hinweis.ersterAufEscape) return ersterKnopf;
  const auto abbrechen = std::find(knoepfe.begin(), knoepfe.end(), "Abbrechen");
  if (abbrechen != knoepfe.end()) return ersterKnopf + static_cast<int>(abbrechen - knoepfe.begin());
  return ersterKnopf + anzahl - 1;
}

}  // namespace tw
