#include "platform/leistenhinweis.h"

#include <algorithm>

namespace tw {

Leistenhinweis leistenhinweis(const std::vector<Menuezeile>& zeilen, const std::string& arbeitsflaeche) {
  Leistenhinweis h;
  h.ueberschrift = "Taler Wacht läuft ohne Symbol in der Leiste";
  const std::string abhilfe = arbeitsflaeche.find("GNOME") != std::string::npos
                                  ? std::string("der Erweiterung „") + gnomeErweiterung + "“"
                                  : "einem Bereich für Statussymbole (StatusNotifierItem) in der Leiste";
  h.text = "Diese Arbeitsfläche zeigt keine Statussymbole. Mit " + abhilfe +
           " erscheint das Symbol mit seinem Menü; bis dahin führt diese Mitteilung zu Taler Wacht.";
  // The vault first: while it is open, locking is what the user most needs.
  const std::pair<Aktion, const char*> gefragt[] = {{Aktion::tresorSperren, "sperren"},
                                                    {Aktion::seiteOeffnen, "einstellungen"},
                                                    {Aktion::beendenKlick, "beenden"}};
  for (const auto& frage : gefragt) {
    const auto z =
        std::ranges::find_if(zeilen, [&](const Menuezeile& z) { return z.aktion == frage.first && z.aktiv; });
    if (z != zeilen.end()) h.knoepfe.push_back({frage.second, z->titel, frage.first});
  }
  const bool seite =
      std::ranges::any_of(h.knoepfe, [](const auto& k) { return k.aktion == Aktion::seiteOeffnen; });
  h.beimKlick = seite ? Aktion::seiteOeffnen : Aktion::keine;
  return h;
}

Aktion Leistenhinweis::aktion(const std::string& kennung) const {
  if (kennung == "default") return beimKlick;
  const auto k = std::ranges::find(knoepfe, kennung, &Hinweisknopf::kennung);
  return k == knoepfe.end() ? Aktion::keine : k->aktion;
}

Leistenbefund leistenbefund(const Leistenblick& b) {
  if (b.host && b.eingetragen) return Leistenbefund::sichtbar;
  // A host that does not list us although the library registered (the host
  // came after it, or its watcher lost it), or that the library still missed
  // once the start is over: the item registers anew, once per change of the tray.
  if (b.host && !b.schonNeu) {
    if (b.verbunden) return Leistenbefund::neuAnmelden;
    return b.anlaufend ? Leistenbefund::abwarten : Leistenbefund::neuAnlegen;
  }
  if (b.altesSymbol) return Leistenbefund::sichtbar;
  // The library falls back to the legacy tray a moment after the start.
  return b.x11 && b.anlaufend ? Leistenbefund::abwarten : Leistenbefund::unsichtbar;
}

Hinweislage::Schritt Hinweislage::symbol(bool sichtbar) {
  if (sichtbar == sichtbar_) return Schritt::nichts;
  sichtbar_ = sichtbar;
  weggeklickt_ = false;  // a new loss is told again
  const bool war = gezeigt_;
  gezeigt_ = !sichtbar;
  if (!sichtbar) return Schritt::zeigen;
  return war ? Schritt::zurueckziehen : Schritt::nichts;
}

Hinweislage::Schritt Hinweislage::menue(const std::vector<Menuezeile>& zeilen) {
  Leistenhinweis neu = leistenhinweis(zeilen, arbeitsflaeche_);
  if (neu == hinweis_) return Schritt::nichts;
  hinweis_ = std::move(neu);
  if (sichtbar_ || !(gezeigt_ || weggeklickt_)) return Schritt::nichts;
  gezeigt_ = true;
  weggeklickt_ = false;
  return Schritt::zeigen;
}

Hinweislage::Schritt Hinweislage::geschlossen() {
  if (!gezeigt_) return Schritt::nichts;
  gezeigt_ = false;
  weggeklickt_ = true;
  return Schritt::nichts;
}

}  // namespace tw
