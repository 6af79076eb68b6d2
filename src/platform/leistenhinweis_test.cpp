#include "platform/leistenhinweis.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using S = Hinweislage::Schritt;

const std::vector<Menuezeile> offen{
    {.titel = "Tresor offen · noch 30 min"},
    {.titel = "Tresor sperren", .aktion = Aktion::tresorSperren, .aktiv = true},
    {.titel = "Einstellungen …", .aktion = Aktion::seiteOeffnen, .aktiv = true},
    {.titel = "Taler Wacht beenden", .aktion = Aktion::beendenKlick, .aktiv = true}};
const std::vector<Menuezeile> zu{
    {.titel = "Tresor zu"},
    {.titel = "Einstellungen …", .aktion = Aktion::seiteOeffnen, .aktiv = false},
    {.titel = "Taler Wacht beenden", .aktion = Aktion::beendenKlick, .aktiv = true}};

TEST(Leistenhinweis, KnoepfeAusDemMenueUndAbhilfeJeArbeitsflaeche) {
  const auto h = leistenhinweis(offen, "ubuntu:GNOME");
  ASSERT_EQ(h.knoepfe.size(), 3u);
  EXPECT_EQ(h.knoepfe[0], (Hinweisknopf{"sperren", "Tresor sperren", Aktion::tresorSperren}));
  EXPECT_EQ(h.knoepfe[1].titel, "Einstellungen …");
  EXPECT_EQ(h.beimKlick, Aktion::seiteOeffnen);
  EXPECT_NE(h.text.find("„AppIndicator and KStatusNotifierItem Support“"), std::string::npos);

  // Disabled rows are no buttons; other desktops get the general advice.
  const auto z = leistenhinweis(zu, "sway");
  ASSERT_EQ(z.knoepfe.size(), 1u);
  EXPECT_EQ(z.knoepfe[0].aktion, Aktion::beendenKlick);
  EXPECT_EQ(z.beimKlick, Aktion::keine);
  EXPECT_EQ(z.text.find("AppIndicator"), std::string::npos);
  EXPECT_NE(z.text.find("StatusNotifierItem"), std::string::npos);
}

TEST(Leistenhinweis, BefundDerLeiste) {
  using B = Leistenbefund;
  const struct {
    Leistenblick blick;  // host, eingetragen, altesSymbol, verbunden, anlaufend, schonNeu, x11
    B soll;
  } faelle[] = {
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
  for (const auto& f : faelle) EXPECT_EQ(leistenbefund(f.blick), f.soll) << &f - faelle;
}

// Each case: steps, and what the notification does after each.
// 'u'/'s' the icon is unseen/seen, 'o'/'z' the menu of an open/closed vault, 'x' closed by the user.
TEST(Leistenhinweis, ZeigenErsetzenZurueckziehen) {
  const struct {
    const char* schritte;
    std::vector<S> soll;
  } faelle[] = {
      {"ous", {S::nichts, S::zeigen, S::zurueckziehen}},                   // seen again: withdrawn
      {"uozo", {S::zeigen, S::zeigen, S::zeigen, S::zeigen}},              // new buttons replace it
      {"uoo", {S::zeigen, S::zeigen, S::nichts}},                          // the same menu changes nothing
      {"uoxoz", {S::zeigen, S::zeigen, S::nichts, S::nichts, S::zeigen}},  // closed: back with new buttons
      {"uxsu", {S::zeigen, S::nichts, S::nichts, S::zeigen}},              // closed, then lost anew
      {"ozsx", {S::nichts, S::nichts, S::nichts, S::nichts}},              // never lost: never shown
  };
  for (const auto& fall : faelle) {
    Hinweislage lage("GNOME");
    std::vector<S> ist;
    for (const char* c = fall.schritte; *c; ++c)
      ist.push_back(*c == 'u'   ? lage.symbol(false)
                    : *c == 's' ? lage.symbol(true)
                    : *c == 'o' ? lage.menue(offen)
                    : *c == 'z' ? lage.menue(zu)
                                : lage.geschlossen());
    EXPECT_EQ(ist, fall.soll) << fall.schritte;
  }
}

}  // namespace
}  // namespace tw
