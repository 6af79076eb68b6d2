#include "platform/leistenhinweis.h"

#include "test.h"

namespace tw {
namespace {

const std::vector<Menuezeile> offen{
    {.titel = "Tresor offen · noch 30 min"},
    {.titel = "Tresor sperren", .aktion = Aktion::tresorSperren, .aktiv = true},
    {.titel = "Einstellungen …", .aktion = Aktion::seiteOeffnen, .aktiv = true},
    {.titel = "Taler Wacht beenden", .aktion = Aktion::beendenKlick, .aktiv = true}};
const std::vector<Menuezeile> zu{
    {.titel = "Tresor zu"},
    {.titel = "Einstellungen …", .aktion = Aktion::seiteOeffnen, .aktiv = false},
    {.titel = "Taler Wacht beenden", .aktion = Aktion::beendenKlick, .aktiv = true}};

// Disabled rows are no buttons; GNOME gets the extension's name, other desktops the general advice.
TEST(Leistenhinweis, KnoepfeAusDemMenueUndAbhilfeJeArbeitsflaeche) {
  const Hinweisknopf sperren{"sperren", "Tresor sperren", Aktion::tresorSperren},
      einstellungen{"einstellungen", "Einstellungen …", Aktion::seiteOeffnen},
      beenden{"beenden", "Taler Wacht beenden", Aktion::beendenKlick};
  const auto h = leistenhinweis(offen, "ubuntu:GNOME"), z = leistenhinweis(zu, "sway");
  EXPECT_EQ(h.knoepfe, (std::vector{sperren, einstellungen, beenden}));
  EXPECT_EQ(z.knoepfe, std::vector{beenden});
  EXPECT_EQ(std::pair(h.beimKlick, z.beimKlick), std::pair(Aktion::seiteOeffnen, Aktion::keine));
  EXPECT_NE(h.text.find("„AppIndicator and KStatusNotifierItem Support“"), std::string::npos);
  EXPECT_EQ(z.text.find("AppIndicator"), std::string::npos);
  EXPECT_NE(z.text.find("(StatusNotifierItem)"), std::string::npos);
}

TEST(Leistenhinweis, BefundDerLeiste) {
  using B = Leistenbefund;
  // host, eingetragen, altesSymbol, verbunden, anlaufend, schonNeu, x11
  const std::pair<Leistenblick, B> faelle[] = {
      {{true, true, false, true, false, false, false}, B::sichtbar},
      {{true, false, false, true, false, false, false}, B::neuAnmelden},  // the host does not know us
      {{true, false, false, false, true, false, false}, B::abwarten},     // the library is still on its way
      {{true, false, false, false, false, false, false}, B::neuAnlegen},  // ... and missed the tray
      {{true, false, false, true, false, true, false}, B::unsichtbar},    // made anew and still unknown
      {{false, false, true, false, false, false, false}, B::sichtbar},    // a legacy tray embeds the icon
      {{false, false, false, true, false, false, false}, B::unsichtbar},
      {{false, false, false, false, true, false, true}, B::abwarten},     // the legacy tray may yet take it
      {{false, false, false, false, false, false, true}, B::unsichtbar},  // ... and did not
  };
  for (const auto& fall : faelle) EXPECT_EQ(leistenbefund(fall.first), fall.second) << &fall - faelle;
}

// Steps, and what the notification does after each ('.' nothing, '+' shown, '-' withdrawn).
// 'u'/'s' the icon is unseen/seen, 'o'/'z' the menu of an open/closed vault, 'x' closed by the user.
TEST(Leistenhinweis, ZeigenErsetzenZurueckziehen) {
  const std::pair<const char*, const char*> faelle[] = {
      {"ous", ".+-"},      // seen again: withdrawn
      {"uozo", "++++"},    // new buttons replace it
      {"uoo", "++."},      // the same menu changes nothing
      {"uoxoz", "++..+"},  // closed: back with new buttons
      {"uxsu", "+..+"},    // closed, then lost anew
      {"ozsx", "...."},    // never lost: never shown
  };
  for (const auto& [schritte, soll] : faelle) {
    Hinweislage lage("GNOME");
    std::string ist;
    for (const char* c = schritte; *c; ++c)
      ist += ".+-"[static_cast<int>(*c == 'u'   ? lage.symbol(false)
                                    : *c == 's' ? lage.symbol(true)
                                    : *c == 'o' ? lage.menue(offen)
                                    : *c == 'z' ? lage.menue(zu)
                                                : lage.geschlossen())];
    EXPECT_EQ(ist, soll) << schritte;
  }
}

}  // namespace
}  // namespace tw
