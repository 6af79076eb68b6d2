// The start script run for real: its arguments, a stream that is no terminal, SIGTERM as it was before
// the app ignored it, and the wait of the switch, bounded at 5 s.

#include <csignal>

#include "app/dateien.h"
#include "helfer/steuerungswelt.h"
#include "lifecycle/bash_starten.h"
#include "test.h"

namespace tw {
namespace {

TEST(Serversteuerung, StartenUndAutostartRufenDasSkriptDesBuendels) {
  Steuerungswelt w;
  w.dienste.bashStarten = bashStarten;
  // The start script writes its arguments, one per line, beside it.
  const fs::path ressourcen = w.ordner / "Taler Wacht.app/Contents/Resources", aufruf = ressourcen / "aufruf";
  fs::create_directories(ressourcen);
  dateiSchreiben(ressourcen / "starten",
                 "printf '%s\\n' \"$@\" > \"$0.neu\"\n"
                 "[ -t 1 ] || echo still-ok >> \"$0.neu\"\n"
                 "ign=$(awk '/^SigIgn/ { print $2 }' /proc/$$/status)\n"
                 "(( 0x$ign & 0x4000 )) && echo sigterm-ignoriert >> \"$0.neu\"\n"
                 "mv \"$0.neu\" \"$(dirname \"$0\")/aufruf\"\n");
  w.fund.skript = ressourcen / "starten";
  w.dienste.argumente = {"--autostart"};
  const auto vorher = std::signal(SIGTERM, SIG_IGN);
  w.starten().ausfuehren(Aktion::starten);
  std::signal(SIGTERM, vorher);
  ASSERT_TRUE(bisZu(10s, [&] { return fs::exists(aufruf); }));
  EXPECT_EQ(rohLesen(aufruf, 1000), "--still\n--autostart\nstill-ok\n");
  // The switch returns only after the script has finished ...
  w.steuerung->ausfuehren(Aktion::autostartUmschalten);
  EXPECT_EQ(rohLesen(aufruf, 1000), "--autostart-an\nstill-ok\n");
  // ... or once it has run too long.
  dateiSchreiben(ressourcen / "starten", "echo $$ > \"$0.pid\"; exec sleep 60\n");
  w.steuerung->ausfuehren(Aktion::autostartUmschalten);
  EXPECT_EQ(w.bericht(), "protokoll Startskript läuft nach 5 s noch — nicht länger gewartet");
  if (const auto pid = lesen(ressourcen / "starten.pid")) ::kill(std::stoi(*pid), SIGKILL);
}

}  // namespace
}  // namespace tw
