#include "status/zustand_json.h"

namespace tw {
namespace {

nlohmann::ordered_json texte(const std::vector<Url>& seiten) {
  auto liste = nlohmann::ordered_json::array();
  for (const Url& seite : seiten) liste.push_back(seite.text());
  return liste;
}

}  // namespace

nlohmann::ordered_json zustandAlsJson(const Zustand& z) {
  return {
      {"programmLaeuft", z.programmLaeuft},
      {"programmPid", z.programmPid},
      {"adresse", z.adresse},
      {"claudePorts", z.claudePorts},
      {"seiten", texte(z.seiten)},
      {"eigeneSeiten", texte(z.eigeneSeiten)},
      {"fremdeFassung", z.fremdeFassung},
      {"tresor", z.tresor},
      {"restminuten",
       z.restminuten ? nlohmann::ordered_json(*z.restminuten) : nlohmann::ordered_json(nullptr)},
      {"programmVeraltet", z.programmVeraltet},
      {"selbstVeraltet", z.selbstVeraltet},
      {"aktiv", z.aktiv()},
  };
}

}  // namespace tw
