// taler-wacht-leiste: a tiny tray host for an X server without a desktop.
// It is the StatusNotifierWatcher, and shows the first item that registers
// in a panel in the screen's top-right corner, with its label and menu.
//
//   taler-wacht-leiste [--bild <png>] [--text <file>] [--warten-auf <text>]
//                      [--klicken <row> --klick-bild <png>]
//   taler-wacht-leiste --bildschirm <png>
//
// With --bild or --text, once a menu row contains <text> (by default: once
// there is any row), it opens the menu, writes its rows as text and the
// screen as PNG, prints "bild: <png>" and keeps running. With --klicken it
// then clicks the row of that label once it is there and saves the screen
// two seconds later. --bildschirm only saves the screen as it is now and
// ends, beside a host that keeps running. SIGTERM and SIGINT
// end it with 0; 1 means no display or no watcher, 2 wrong use.

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

#include "aufnahme.h"
#include "beobachter.h"
#include "gastgeber.h"

namespace {

constexpr const char* gebrauch =
    "Aufruf: taler-wacht-leiste [--bild <PNG>] [--text <Datei>] [--warten-auf <Text>] [--klicken <Zeile> "
    "--klick-bild <PNG>]\n"
    "       taler-wacht-leiste --bildschirm <PNG>\n";

std::optional<tw::leiste::Auftrag> aufrufLesen(int argc, char** argv) {
  tw::leiste::Auftrag auftrag;
  for (int i = 1; i < argc; i += 2) {
    const std::string_view name = argv[i];
    if (i + 1 >= argc) return std::nullopt;
    if (name == "--bild")
      auftrag.bild = argv[i + 1];
    else if (name == "--text")
      auftrag.text = argv[i + 1];
    else if (name == "--warten-auf")
      auftrag.wartenAuf = argv[i + 1];
    else if (name == "--klicken")
      auftrag.klicken = argv[i + 1];
    else if (name == "--klick-bild")
      auftrag.klickBild = argv[i + 1];
    else
      return std::nullopt;
  }
  if (auftrag.klicken.empty() != auftrag.klickBild.empty()) return std::nullopt;
  return auftrag;
}

// fontconfig keeps its caches to the end of the process; LeakSanitizer need not report them.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

// A busy bare X server turns a connection away now and then, so it is asked again for a while.
bool anzeigeOeffnen() {
  for (int versuch = 0; versuch < 50; ++versuch) {
    if (gtk_init_check(nullptr, nullptr)) return true;
    g_usleep(100'000);
  }
  return false;
}

gboolean beenden(gpointer) {
  gtk_main_quit();
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--bildschirm") {
    if (!anzeigeOeffnen()) return 1;
    const std::string fehler = tw::leiste::bildschirmSpeichern(argv[2]);
    if (!fehler.empty()) std::cerr << "taler-wacht-leiste: " << fehler << '\n';
    return fehler.empty() ? 0 : 1;
  }
  const auto auftrag = aufrufLesen(argc, argv);
  if (!auftrag) {
    std::cerr << gebrauch;
    return 2;
  }
  if (!anzeigeOeffnen()) {
    std::cerr << "taler-wacht-leiste: Kein Bildschirm (DISPLAY).\n";
    return 1;
  }
  tw::leiste::Beobachter beobachter;
  if (!beobachter.bereit()) {
    std::cerr << "taler-wacht-leiste: " << beobachter.fehler() << '\n';
    return 1;
  }
  std::unique_ptr<tw::leiste::Gastgeber> gastgeber;
  beobachter.beiEintrag([&](const tw::leiste::Eintrag& eintrag) {
    // A new item takes over only once the shown one has left the bus.
    if (gastgeber &&
        std::ranges::find(beobachter.eintraege(), gastgeber->eintrag()) != beobachter.eintraege().end())
      return;
    gastgeber = std::make_unique<tw::leiste::Gastgeber>(eintrag, *auftrag);
  });
  g_unix_signal_add(SIGTERM, beenden, nullptr);
  g_unix_signal_add(SIGINT, beenden, nullptr);
  gtk_main();
  gastgeber.reset();
  return 0;
}
