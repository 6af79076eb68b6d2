// Code requirement texts: parsed, judged against a few signers, and written
// back out, which must parse to the same clauses.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/signatur/anforderung.h"
#include "pruefen.h"

namespace {

using namespace tw;

std::string inAnfuehrung(const std::string& wert) {
  std::string text = "\"";
  for (char c : wert) {
    if (c == '"' || c == '\\') text += '\\';
    text += c;
  }
  return text + '"';
}

std::string alsText(const Anforderung& a) {
  std::string text;
  for (const auto& k : a.klauseln) {
    if (!text.empty()) text += " and ";
    switch (k.art) {
      case Klausel::Art::anker:
        text += "anchor apple generic";
        break;
      case Klausel::Art::teamEinheit:
        text += "certificate leaf[subject.OU] = " + inAnfuehrung(k.wert);
        break;
      case Klausel::Art::kennung:
        text += "identifier " + inAnfuehrung(k.wert);
        break;
    }
  }
  return text;
}

bool gleich(const Anforderung& a, const Anforderung& b) {
  if (a.klauseln.size() != b.klauseln.size()) return false;
  for (std::size_t i = 0; i < a.klauseln.size(); ++i)
    if (a.klauseln[i].art != b.klauseln[i].art || a.klauseln[i].wert != b.klauseln[i].wert) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  const auto anforderung = anforderungLesen({reinterpret_cast<const char*>(daten), groesse});
  if (!anforderung) return 0;
  TW_PRUEFEN(!anforderung->klauseln.empty());
  const auto wieder = anforderungLesen(alsText(*anforderung));
  TW_PRUEFEN(wieder && gleich(*wieder, *anforderung));

  // A signer that meets every clause, and ones that each miss something.
  Unterzeichner passend{.ketteZumAnker = true};
  for (const auto& k : anforderung->klauseln) {
    if (k.art == Klausel::Art::teamEinheit && passend.einheiten.empty()) passend.einheiten = {k.wert};
    if (k.art == Klausel::Art::kennung && passend.kennung.empty()) passend.kennung = k.wert;
  }
  const auto urteil = nichtErfuellt(*anforderung, passend);
  for (const auto& u : {Unterzeichner{}, Unterzeichner{.ketteZumAnker = true, .einheiten = {"A", "B"}}})
    (void)nichtErfuellt(*anforderung, u);
  // Clauses that contradict each other (two teams, two identifiers) may fail; others must hold.
  bool widerspruch = false;
  for (const auto& k : anforderung->klauseln)
    widerspruch |= (k.art == Klausel::Art::teamEinheit && k.wert != passend.einheiten.front()) ||
                   (k.art == Klausel::Art::kennung && k.wert != passend.kennung);
  TW_PRUEFEN(widerspruch || !urteil);
  return 0;
}
