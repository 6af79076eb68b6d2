#include "aufruf.h"

#include <optional>

#include "app/text.h"

namespace tw {
namespace {

// Plain decimal digits within the bounds; no sign, no blanks.
std::optional<std::int64_t> zahl(std::string_view text, std::int64_t kleinste, std::int64_t groesste) {
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  const auto wert = ganzzahl64(text);
  if (!wert || *wert < kleinste || *wert > groesste) return std::nullopt;
  return wert;
}

}  // namespace

std::variant<Aufruf, std::string> aufrufLesen(const std::vector<std::string_view>& argumente,
                                              const Umgebung& umgebung) {
  Aufruf aufruf;
  std::optional<Rolle> rolle;
  std::optional<int> port;
  std::vector<std::string_view> gesehen;
  for (std::size_t i = 0; i < argumente.size(); ++i) {
    const std::string_view name = argumente[i];
    for (const auto frueher : gesehen)
      if (frueher == name) return "Argument " + std::string(name) + " doppelt angegeben";
    gesehen.push_back(name);
    if (name == "--programm" || name == "--instanz") {
      if (rolle) return std::string("nur eines von --programm und --instanz angeben");
      rolle = name == "--programm" ? Rolle::programm : Rolle::instanz;
      continue;
    }
    const bool mitWert =
        name == "--port" || name == "--fassung" || name == "--minuten" || name == "--minutenlaenge";
    if (!mitWert) return "unbekanntes Argument: " + std::string(name);
    if (i + 1 >= argumente.size()) return std::string(name) + " braucht einen Wert";
    const std::string_view wert = argumente[++i];
    if (name == "--fassung") {
      if (wert.empty() || !gueltigesUtf8(wert)) return std::string("--fassung braucht einen UTF-8-Text");
      aufruf.fassung = wert;
    } else if (name == "--port") {
      const auto n = zahl(wert, 0, 65535);
      if (!n) return "--port braucht eine Zahl von 0 bis 65535, nicht " + std::string(wert);
      port = static_cast<int>(*n);
    } else if (name == "--minuten") {
      const auto n = zahl(wert, 1, 1000000);
      if (!n) return "--minuten braucht eine Zahl von 1 bis 1000000, nicht " + std::string(wert);
      aufruf.minuten = *n;
    } else {
      const auto n = zahl(wert, 1, 86400000);
      if (!n) return "--minutenlaenge braucht Millisekunden von 1 bis 86400000, nicht " + std::string(wert);
      aufruf.minutenlaenge = std::chrono::milliseconds{*n};
    }
  }
  if (!rolle) return std::string("--programm oder --instanz angeben");
  aufruf.rolle = *rolle;
  if (port) {
    aufruf.port = *port;
  } else if (aufruf.rolle == Rolle::programm) {
    const auto gesetzt = umgebung.find("GELD_BOTE_PORT");
    const std::string_view text = gesetzt != umgebung.end() ? std::string_view(gesetzt->second) : vorgabePort;
    const auto n = zahl(text, 1, 65535);
    if (!n) return "GELD_BOTE_PORT muss eine Zahl von 1 bis 65535 sein, nicht \"" + std::string(text) + "\"";
    aufruf.port = static_cast<int>(*n);
  }
  return aufruf;
}

}  // namespace tw
