// The host program as the demo runs it, beside the bare tray icon: the open
// menu's rows as text, the screen before and after a click. The watcher and
// the readers meet the real app in tests/app.
#include <gtk/gtk.h>
#include <signal.h>

#include "app/dateien.h"
#include "dbus_ruf.h"
#include "eintrag.h"
#include "helfer/eigener_bus.h"
#include "menue.h"
#include "test.h"

namespace tw::leiste {
namespace {

// Whether the bare icon's item answers on some connection of the bus.
bool bodenAntwortet() {
  std::string fehler;
  const auto namen = rufen("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "ListNames", nullptr, "(as)", fehler);
  g_autofree const gchar** liste = nullptr;
  if (namen) g_variant_get(namen.get(), "(^a&s)", &liste);
  for (auto** name = liste; name && *name; ++name)
    if (eintragLesen({*name, "/org/ayatana/NotificationItem/taler_wacht_boden"}).kennung ==
        "taler-wacht-boden")
      return true;
  return false;
}

// The rows as the demo's menu text shows them.
TEST(Leiste, ZeilenAlsText) {
  EXPECT_EQ(zeilenAlsText({{.titel = "An", .haken = Haken::an},
                           {.trenner = true},
                           {.titel = "Aus", .aktiv = false, .haken = Haken::aus, .kuerzel = "Control+q"},
                           {.titel = "Weg", .sichtbar = false}}),
            "[x] An\n---\n(aus) [ ] Aus <Control+q>\n");
}

TEST(Leiste, ProgrammSpeichertMenueUndBildschirm) {
  eigenerBus();
  ::setenv("NO_AT_BRIDGE", "1", 1);
  ASSERT_TRUE(bisZu(5s, [] { return gtk_init_check(nullptr, nullptr); })) << "a busy Xvfb may refuse a while";
  TempOrdner t;
  Kindprozess boden({{TW_BODEN}});
  // libayatana-appindicator may miss a watcher that is there before its own bus connection.
  ASSERT_TRUE(bisZu(20s, bodenAntwortet)) << boden.fehler();
  Kindprozess leiste({{TW_LEISTE, "--bild", t / "bild.png", "--text", t / "menue.txt", "--warten-auf",
                       "Zeile 5", "--klicken", "Zeile 2", "--klick-bild", t / "klick.png"}});
  ASSERT_TRUE(bisZu(30s, [&] { return leiste.ausgabe().ends_with("klick.png\n"); }))
      << leiste.ausgabe() << leiste.fehler() << boden.fehler();
  EXPECT_EQ(leiste.ausgabe(),
            "bild: " + (t / "bild.png").string() + "\nbild: " + (t / "klick.png").string() + "\n");
  const auto text = rohLesen(t / "menue.txt", 1000).value_or("");
  EXPECT_TRUE(text.starts_with("Zeile 1 · ") && text.ends_with("\nZeile 2\nZeile 3\nZeile 4\nZeile 5\n"))
      << text;
  GdkPixbuf* bild = gdk_pixbuf_new_from_file((t / "bild.png").c_str(), nullptr);
  ASSERT_TRUE(bild);
  EXPECT_EQ(gdk_pixbuf_get_width(bild), gdk_window_get_width(gdk_get_default_root_window()));
  EXPECT_EQ(gdk_pixbuf_get_height(bild), gdk_window_get_height(gdk_get_default_root_window()));
  g_object_unref(bild);
  ::kill(leiste.pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(leiste.warten(10s), 0)) << leiste.fehler();
}

}  // namespace
}  // namespace tw::leiste
