// The tray host's D-Bus side and the host program against a real
// libayatana-appindicator item, on the test's private session bus and display.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <fstream>
#include <future>
#include <sstream>

#include "beobachter.h"
#include "eintrag.h"
#include "helfer/eigener_bus.h"
#include "helfer/kindprozess.h"
#include "menue.h"

namespace tw::leiste {
namespace {

using namespace std::chrono_literals;

bool probeBereit(Kindprozess& probe) {
  return bisZu(20s, [&] { return probe.ausgabe().starts_with("bereit\n") || !probe.laeuft(); }) &&
         probe.laeuft();
}

constexpr const char* probeMenue = "(aus) Stand: bereit\n---\n[x] Automatisch starten\nZählen\n";

// Each test runs in a process of its own, on a bus of its own: a bus has one
// watcher, and tests run side by side.
struct EigenerBus : testing::Test {
  EigenerBus() { eigenerBus(), ::setenv("NO_AT_BRIDGE", "1", 1); }
};
using Leistenbeobachter = EigenerBus;
using Leistenprogramm = EigenerBus;

struct Probeeintrag : EigenerBus {
  TempOrdner ordner;
  Kindprozess probe{{{TW_PROBE, ordner.pfad()}}};
  bool bereit = probeBereit(probe);  // before the watcher, see probe.cpp
  Beobachter beobachter;
};

TEST_F(Probeeintrag, MeldetSichAnZeigtIhrMenueUndNimmtKlicks) {
  ASSERT_TRUE(bereit) << probe.fehler();
  ASSERT_TRUE(beobachter.bereit()) << beobachter.fehler();
  const auto eintrag = beobachter.warten(20s);
  ASSERT_TRUE(eintrag) << probe.fehler();
  const auto daten = eintragLesen(*eintrag);
  EXPECT_EQ(daten.fehler + "|" + daten.kennung + "|" + daten.beschriftung + "|" + daten.symbol + "|" +
                daten.symbolOrdner,
            "|tw-leiste-probe|Probe bereit|tw-probe|" + ordner.pfad().string());
  Menue menue;
  const auto lesen = [&] { return (menue = menueLesen(eintrag->bus, daten.menuePfad)).zeilen.size() == 4; };
  kontextLaufen(10s, lesen);
  EXPECT_EQ(zeilenAlsText(menue.zeilen), probeMenue) << menue.fehler;
  ASSERT_EQ(menue.zeilen.size(), 4u);

  EXPECT_EQ(klicken(eintrag->bus, daten.menuePfad, menue.zeilen[3].id), "");
  EXPECT_TRUE(kontextLaufen(10s, [&] {
    return lesen() && menue.zeilen[3].titel == "Gezählt: 1" &&
           eintragLesen(*eintrag).beschriftung == "Gezählt: 1";
  }));
  EXPECT_EQ(probe.ausgabe(), "bereit\ngeklickt\n");
  EXPECT_NE(klicken(eintrag->bus, daten.menuePfad, 4711), "") << "no such row";
}

// gdbus as another program on the bus, while this one serves the watcher.
std::string gdbus(std::vector<std::string> argumente) {
  argumente.insert(argumente.begin(),
                   {"/usr/bin/env", "gdbus", "call", "--session", "--dest", "org.kde.StatusNotifierWatcher",
                    "--object-path", "/StatusNotifierWatcher", "--method"});
  Kindprozess kind({argumente});
  kontextLaufen(10s, [&] { return !kind.laeuft(); });
  return endeteMit(kind.warten(0ms), 0) ? kind.ausgabe() : "Fehler";
}

TEST_F(Leistenbeobachter, NimmtBusnamenNenntSeineEigenschaftenUndKaputteAntworten) {
  Beobachter beobachter;
  ASSERT_TRUE(beobachter.bereit()) << beobachter.fehler();
  EXPECT_EQ(gdbus({"org.kde.StatusNotifierWatcher.RegisterStatusNotifierItem", "org.example.Zweit"}), "()\n");
  EXPECT_EQ(gdbus({"org.kde.StatusNotifierWatcher.RegisterStatusNotifierItem", "kein Name"}), "Fehler");
  const auto lesen = [](const char* name) {
    return gdbus({"org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierWatcher", name});
  };
  EXPECT_EQ(lesen("IsStatusNotifierHostRegistered"), "(<true>,)\n");
  EXPECT_EQ(lesen("RegisteredStatusNotifierItems"), "(<['org.example.Zweit/StatusNotifierItem']>,)\n");
  EXPECT_EQ(beobachter.eintraege(), (std::vector<Eintrag>{{"org.example.Zweit", "/StatusNotifierItem"}}));
  Kindprozess zweiter({{TW_LEISTE}});
  EXPECT_TRUE(endeteMit(zweiter.warten(10s), 1)) << "the name has one owner";
  EXPECT_NE(zweiter.fehler().find("schon"), std::string::npos) << zweiter.fehler();

  // Broken answers give reasons.
  EXPECT_NE(menueLesen("kein Bus", "/x").fehler, "");
  EXPECT_NE(eintragLesen({":1.999999", "/x"}).fehler, "");
  // A menu whose row is a string, served by this process while a thread reads it.
  static const auto* knoten = g_dbus_node_info_new_for_xml(
      R"x(<node><interface name="com.canonical.dbusmenu"><method name="GetLayout">
      <arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="as" direction="in"/>
      <arg type="u" direction="out"/><arg type="(ia{sv}av)" direction="out"/></method></interface></node>)x",
      nullptr);
  static const GDBusInterfaceVTable tabelle{
      +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
          GDBusMethodInvocation* aufruf, gpointer) {
        g_dbus_method_invocation_return_value(
            aufruf, g_variant_new_parsed("(uint32 1, (0, @a{sv} {}, [<'kaputt'>]))"));
      },
      nullptr,
      nullptr,
      {}};
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  const auto objekt = g_dbus_connection_register_object(bus, "/Kaputt", knoten->interfaces[0], &tabelle,
                                                        nullptr, nullptr, nullptr);
  auto antwort =
      std::async(std::launch::async, menueLesen, g_dbus_connection_get_unique_name(bus), "/Kaputt");
  kontextLaufen(10s, [&] { return antwort.wait_for(0s) == std::future_status::ready; });
  const auto menue = antwort.get();
  EXPECT_TRUE(menue.zeilen.empty());
  EXPECT_NE(menue.fehler.find("hat den Typ s"), std::string::npos) << menue.fehler;
  g_dbus_connection_unregister_object(bus, objekt);
  g_object_unref(bus);
}

TEST_F(Leistenprogramm, ZeigtMenueUndSpeichertBildschirm) {
  ASSERT_TRUE(bisZu(5s, [] { return gtk_init_check(nullptr, nullptr); })) << "a busy Xvfb may refuse a while";
  TempOrdner t;
  Kindprozess probe({{TW_PROBE, t.pfad()}});
  ASSERT_TRUE(probeBereit(probe)) << probe.fehler();
  Kindprozess leiste(
      {{TW_LEISTE, "--bild", t / "bild.png", "--text", t / "menue.txt", "--warten-auf", "Zählen"}});
  ASSERT_TRUE(bisZu(30s, [&] { return leiste.ausgabe().find('\n') != std::string::npos; }))
      << leiste.fehler() << probe.fehler();
  EXPECT_EQ(leiste.ausgabe(), "bild: " + (t / "bild.png").string() + "\n");
  std::ostringstream text;
  text << std::ifstream(t / "menue.txt").rdbuf();
  EXPECT_EQ(text.str(), probeMenue);
  GdkPixbuf* bild = gdk_pixbuf_new_from_file((t / "bild.png").c_str(), nullptr);
  ASSERT_TRUE(bild);
  GdkWindow* wurzel = gdk_get_default_root_window();
  EXPECT_EQ(gdk_pixbuf_get_width(bild), gdk_window_get_width(wurzel));
  EXPECT_EQ(gdk_pixbuf_get_height(bild), gdk_window_get_height(wurzel));
  g_object_unref(bild);
  ::kill(leiste.pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(leiste.warten(10s), 0)) << leiste.fehler();
}

}  // namespace
}  // namespace tw::leiste
