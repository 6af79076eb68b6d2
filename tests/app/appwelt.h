#pragma once
// The whole app from the build's bundle, seen as a desktop's tray sees it: its
// item registers with a watcher of the test's own, and its menu is read and
// clicked over D-Bus. For test programs that define TW_IM_BUENDEL.

#include <signal.h>

#include <sstream>

#include "app/dateien.h"
#include "beobachter.h"
#include "eintrag.h"
#include "helfer/eigener_bus.h"
#include "helfer/roh_server.h"
#include "lifecycle/prozesse.h"
#include "menue.h"
#include "status/abrufen.h"
#include "status/sammeln.h"
#include "test.h"

namespace tw {

// The app's files in a folder of the test's. On the first launch it starts the
// stand-in, which outlives the app by design; the test ends it with this world.
struct Appwelt {
  TempOrdner welt;
  std::filesystem::path heim = welt / "heim", zustand = welt / "zustand";
  std::string port = std::to_string(freierPort());

  ~Appwelt() {
    const auto pid = lesen(zustand / "tunnel.pid");
    if (pid && prozessIstUnser(std::stoi(*pid))) ::kill(std::stoi(*pid), SIGTERM);
  }
  Start app() const { return {.argumente = {TW_IM_BUENDEL}, .umgebung = umgebung(heim, zustand, port)}; }
  Zustand stand() const { return sammeln({zustand, heim / ".config/geld-bote-demo", port, "1.7.2_demo"}); }
  // Sets up the stand-in's vault through its page; the answer's status.
  int einrichten(const std::string& passphrase) const {
    const Zustand jetzt = stand();
    if (jetzt.eigeneSeiten.empty()) return 0;
    return abrufen(jetzt.eigeneSeiten[0].mitKomponente("einrichten"), "POST", {{"passphrase", passphrase}})
        .status;
  }
};

inline void beenden(Kindprozess& programm) {
  ::kill(programm.pid(), SIGTERM);
  EXPECT_TRUE(endeteMit(programm.warten(std::chrono::seconds(10)), 0)) << programm.fehler();
}

// Whether the menu's text has this row as zeilenAlsText writes it, shortcut aside.
inline bool hat(const std::string& menue, std::string_view soll) {
  std::istringstream zeilen(menue);
  for (std::string z; std::getline(zeilen, z);)
    if (z.substr(0, z.find(" <")) == soll) return true;
  return false;
}

// A keyring of the test's own, so that the remembered passphrase of tests
// running beside it is another item; started before the tray watcher joins.
struct Schluesselbundort {
  TempOrdner ort;
  std::optional<Kindprozess> daemon;
  Schluesselbundort() { EXPECT_TRUE(eigenerSchluesselbund(daemon, ort.pfad())); }
};

struct Schale : ::testing::Test, Appwelt {
  leiste::Beobachter beobachter;
  std::optional<leiste::Eintrag> eintrag;
  std::string menuePfad;
  std::optional<Kindprozess> programm;

  std::vector<leiste::Zeile> zeilen() { return leiste::menueLesen(eintrag->bus, menuePfad).zeilen; }
  // Runs the bus until the menu has this row; the menu's text.
  std::string bisZeile(std::string_view soll, std::chrono::milliseconds frist = std::chrono::seconds(20)) {
    std::string text;
    EXPECT_TRUE(
        leiste::kontextLaufen(frist, [&] { return hat(text = leiste::zeilenAlsText(zeilen()), soll); }))
        << soll << " not in:\n"
        << text;
    return text;
  }
  // Clicks the row over D-Bus once it is there and enabled.
  void klicken(const std::string& titel) {
    bisZeile(titel);
    const auto z = zeilen();
    const auto r = std::ranges::find_if(z, [&](const auto& r) { return r.sichtbar && r.titel == titel; });
    ASSERT_NE(r, z.end());
    EXPECT_EQ(leiste::klicken(eintrag->bus, menuePfad, r->id), "");
  }
  // Starts the app, waits for its item on the watcher and reads where its menu is.
  void starten(const Start& start) {
    programm.emplace(start);
    ASSERT_TRUE(beobachter.bereit()) << beobachter.fehler();
    // A new run's item, not one of a run that has just ended.
    const std::string vorher = eintrag ? eintrag->bus : "";
    ASSERT_TRUE(leiste::kontextLaufen(std::chrono::seconds(20), [&] {
      for (const auto& e : beobachter.eintraege())
        if (e.bus != vorher) eintrag = e;
      return eintrag && eintrag->bus != vorher;
    })) << programm->fehler();
    const auto daten = leiste::eintragLesen(*eintrag);
    ASSERT_EQ(daten.fehler, "");
    menuePfad = daten.menuePfad;
  }
  // Keys typed into the app's dialog as a person would, with the dialog focused;
  // only the app's own alert (the setup window has a class name of its own),
  // as other tests may show theirs on this display. Searched without xdotool's
  // --sync, which may answer with a window that does not match.
  void tippen(const std::vector<std::string>& xdotool) {
    std::string fenster;
    EXPECT_TRUE(bisZu(std::chrono::seconds(20), [&] {
      Kindprozess suche({{"/usr/bin/env", "xdotool", "search", "--onlyvisible", "--pid",
                          std::to_string(programm->pid()), "--classname", "^taler-wacht$"}});
      fenster = endeteMit(suche.warten(std::chrono::seconds(5)), 0)
                    ? suche.ausgabe().substr(0, suche.ausgabe().find('\n'))
                    : "";
      return !fenster.empty();
    }));
    std::vector<std::string> befehl{"/usr/bin/env", "xdotool", "windowfocus", "--sync", fenster};
    befehl.insert(befehl.end(), xdotool.begin(), xdotool.end());
    Kindprozess tasten({befehl});
    ASSERT_TRUE(endeteMit(tasten.warten(std::chrono::seconds(20)), 0)) << tasten.fehler();
  }
};

}  // namespace tw
