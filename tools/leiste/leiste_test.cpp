// The tray host's D-Bus side and the host program against a real
// libayatana-appindicator item, on the test's private session bus and display.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <future>

#include "app/dateien.h"
#include "beobachter.h"
#include "eintrag.h"
#include "helfer/eigener_bus.h"
#include "helfer/kindprozess.h"
#include "menue.h"

namespace tw::leiste {
namespace {

using namespace std::chrono_literals;

// The probe's item, started before any watcher (see probe.cpp).
struct Probe : Kindprozess {
  explicit Probe(const TempOrdner& ordner) : Kindprozess({{TW_PROBE, ordner.pfad()}}) {
    EXPECT_TRUE(bisZu(20s, [&] { return ausgabe().starts_with("bereit\n") || !laeuft(); }) && laeuft())
        << fehler();
  }
};

// gdbus as another program on the bus, while this one serves the watcher.
std::string gdbus(const std::string& methode, const std::string& wert, const char* name = nullptr) {
  std::vector<std::string> a = {"/usr/bin/env",
                                "gdbus",
                                "call",
                                "--session",
                                "--dest",
                                "org.kde.StatusNotifierWatcher",
                                "--object-path",
                                "/StatusNotifierWatcher",
                                "--method",
                                methode,
                                wert};
  if (name) a.push_back(name);
  Kindprozess kind({a});
  kontextLaufen(10s, [&] { return !kind.laeuft(); });
  return endeteMit(kind.warten(0ms), 0) ? kind.ausgabe() : "Fehler";
}

// Each test runs in a process of its own, on a bus of its own: a bus has one watcher.
struct Leiste : testing::Test {
  Leiste() { eigenerBus(), ::setenv("NO_AT_BRIDGE", "1", 1); }
};

TEST_F(Leiste, BeobachterNimmtEintraegeUndLiestSieOderNenntDenFehler) {
  TempOrdner ordner;
  Probe probe(ordner);
  Beobachter beobachter;
  ASSERT_TRUE(beobachter.bereit()) << beobachter.fehler();
  const auto eintrag = beobachter.warten(20s);
  ASSERT_TRUE(eintrag) << probe.fehler();
  const auto daten = eintragLesen(*eintrag);
  EXPECT_EQ(daten.fehler + "|" + daten.kennung + "|" + daten.beschriftung + "|" + daten.symbol + "|" +
                daten.symbolOrdner,
            "|tw-leiste-probe|Probe bereit|tw-probe|" + ordner.pfad().string());
  EXPECT_NE(klicken(eintrag->bus, daten.menuePfad, 4711), "") << "no such row";

  const std::string anmelden = "org.kde.StatusNotifierWatcher.RegisterStatusNotifierItem";
  EXPECT_EQ(gdbus(anmelden, "org.example.Zweit"), "()\n");
  EXPECT_EQ(gdbus(anmelden, "kein Name"), "Fehler");
  const std::string holen = "org.freedesktop.DBus.Properties.Get";
  EXPECT_EQ(gdbus(holen, "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"), "(<true>,)\n");
  EXPECT_NE(gdbus(holen, "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems")
                .find("'org.example.Zweit/StatusNotifierItem']>,)\n"),
            std::string::npos);
  EXPECT_EQ(beobachter.eintraege().back(), (Eintrag{"org.example.Zweit", "/StatusNotifierItem"}));
  Kindprozess zweiter({{TW_LEISTE}});
  EXPECT_TRUE(endeteMit(zweiter.warten(10s), 1)) << "the name has one owner";
  EXPECT_NE(zweiter.fehler().find("schon"), std::string::npos) << zweiter.fehler();
  EXPECT_NE(menueLesen("kein Bus", "/x").fehler, "");
  EXPECT_NE(eintragLesen({":1.999999", "/x"}).fehler, "");
}

// Odd menus, served by this process while a thread reads them: the rows as text, or the error.
TEST_F(Leiste, SeltsameMenues) {
  static std::string layout;
  static const auto* knoten = g_dbus_node_info_new_for_xml(
      R"x(<node><interface name="com.canonical.dbusmenu"><method name="GetLayout">
      <arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="as" direction="in"/>
      <arg type="u" direction="out"/><arg type="(ia{sv}av)" direction="out"/></method></interface></node>)x",
      nullptr);
  static const GDBusInterfaceVTable tabelle{
      +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
          GDBusMethodInvocation* aufruf, gpointer) {
        GVariant* wert = g_variant_parse(nullptr, layout.c_str(), nullptr, nullptr, nullptr);
        g_dbus_method_invocation_return_value(aufruf, wert);
        if (wert) g_variant_unref(wert);
      },
      nullptr,
      nullptr,
      {}};
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  const auto objekt = g_dbus_connection_register_object(bus, "/Menue", knoten->interfaces[0], &tabelle,
                                                        nullptr, nullptr, nullptr);
  for (const auto& [zeilen, soll] : std::vector<std::pair<std::string, std::string>>{
           {"<'kaputt'>", "Zeile 0 hat den Typ s"},
           {"<(1, {'label': <'_A__b'>, 'toggle-type': <'radio'>, 'toggle-state': <1>, 'shortcut': "
            "<[['Control', 'q']]>}, @av [])>, <(2, {'visible': <false>}, @av [])>, <(3, {'enabled': "
            "<false>, 'toggle-type': <'checkmark'>, 'toggle-state': <-1>}, @av [])>, <(4, {'type': "
            "<'separator'>}, @av [])>",
            "[x] A_b <Control+q>\n(aus) [ ] \n---\n"}}) {
    layout = "(uint32 1, (0, @a{sv} {}, [" + zeilen + "]))";
    auto antwort =
        std::async(std::launch::async, menueLesen, g_dbus_connection_get_unique_name(bus), "/Menue");
    kontextLaufen(10s, [&] { return antwort.wait_for(0s) == std::future_status::ready; });
    const auto menue = antwort.get();
    EXPECT_NE((zeilenAlsText(menue.zeilen) + menue.fehler).find(soll), std::string::npos)
        << zeilen << "\n"
        << menue.fehler << zeilenAlsText(menue.zeilen);
    EXPECT_TRUE(menue.fehler.empty() != menue.zeilen.empty()) << zeilen;
  }
  g_dbus_connection_unregister_object(bus, objekt);
  g_object_unref(bus);
}

TEST_F(Leiste, ProgrammZeigtMenueUndSpeichertBildschirm) {
  ASSERT_TRUE(bisZu(5s, [] { return gtk_init_check(nullptr, nullptr); })) << "a busy Xvfb may refuse a while";
  TempOrdner t;
  Probe probe(t);
  Kindprozess leiste(
      {{TW_LEISTE, "--bild", t / "bild.png", "--text", t / "menue.txt", "--warten-auf", "Zählen"}});
  ASSERT_TRUE(bisZu(30s, [&] { return leiste.ausgabe().find('\n') != std::string::npos; }))
      << leiste.fehler() << probe.fehler();
  EXPECT_EQ(leiste.ausgabe(), "bild: " + (t / "bild.png").string() + "\n");
  EXPECT_EQ(rohLesen(t / "menue.txt", 1000), "(aus) Stand: bereit\n---\n[x] Automatisch starten\nZählen\n");
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
