#include "lifecycle/skriptsuche.h"

#include "app/konstanten.h"
#include "lifecycle/fassung.h"
#include "platform/hauptbuendel.h"

namespace tw {
namespace {

std::vector<std::filesystem::path> kandidaten(const Suchquellen& q) {
  if (q.eigenesBuendel) return {*q.eigenesBuendel};
  std::vector<std::filesystem::path> liste;
  for (const auto& ordner : q.ordner) {
    std::error_code fehler;
    std::filesystem::directory_iterator eintraege(ordner, fehler);
    // An unlistable folder, or one that fails midway, adds nothing more.
    for (auto e = std::filesystem::begin(eintraege); !fehler && e != std::filesystem::end(eintraege);
         e.increment(fehler)) {
      const std::string name = e->path().filename().string();
      if (name.starts_with("Taler Wacht") && name.ends_with(".app")) liste.push_back(ordner / name);
    }
  }
  return liste;
}

}  // namespace

Suchquellen programmSuchquellen() {
  Suchquellen q;
  if (imBuendel())
    q.eigenesBuendel = hauptbuendel().ort();
  else
    q.ordner = {"/Applications", heim() / "Applications"};
  return q;
}

Skriptfund skriptSuchen(const Suchquellen& q) {
  Skriptfund fund;
  std::vector<std::filesystem::path> angenommen;
  for (const auto& buendel : kandidaten(q)) {
    auto skript = buendel / "Contents" / "Resources" / "starten";
    std::error_code fehler;
    if (!std::filesystem::exists(skript, fehler)) continue;
    if (q.vertrauenswuerdig(buendel))
      angenommen.push_back(std::move(skript));
    else
      fund.abgelehnt = true;
  }
  // Among equal versions the earliest candidate stays.
  for (auto& skript : angenommen)
    if (!fund.skript || nummer(fund.skript->string()) < nummer(skript.string()))
      fund.skript = std::move(skript);
  return fund;
}

Skriptfund skriptSuchen() { return skriptSuchen(programmSuchquellen()); }

std::optional<std::filesystem::path> skriptPfad() { return skriptSuchen().skript; }

}  // namespace tw
