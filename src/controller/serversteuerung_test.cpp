// The server control against real processes, scripts and HTTP servers.

#include <gtest/gtest.h>

#include <csignal>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "helfer/kindprozess.h"
#include "helfer/roh_server.h"
#include "helfer/steuerungswelt.h"
#include "lifecycle/bash_starten.h"
#include "lifecycle/prozesse.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A controller that runs scripts and stops processes for real.
struct Echtwelt : Steuerungswelt {
  Echtwelt() {
    dienste.bashStarten = bashStarten;
    dienste.unserenBeenden = [](pid_t pid) { unserenBeenden(pid); };
  }
};

TEST(Serversteuerung, StartenUndAutostartRufenDasSkriptDesBuendels) {
  for (const bool autostart : {false, true}) {
    Echtwelt w;
    // The start script writes its arguments, one per line, beside it.
    const fs::path ressourcen = w.ordner / "Taler Wacht.app/Contents/Resources",
                   aufruf = ressourcen / "aufruf";
    fs::create_directories(ressourcen);
    dateiSchreiben(ressourcen / "starten",
                   "printf '%s\\n' \"$@\" > \"$0.neu\"\n"
                   "[ -t 1 ] || echo still-ok >> \"$0.neu\"\n"
                   "ign=$(awk '/^SigIgn/ { print $2 }' /proc/$$/status)\n"
                   "(( 0x$ign & 0x4000 )) && echo sigterm-ignoriert >> \"$0.neu\"\n"
                   "mv \"$0.neu\" \"$(dirname \"$0\")/aufruf\"\n");
    w.fund.skript = ressourcen / "starten";
    if (autostart) w.dienste.argumente = {"--autostart"};
    // The app ignores SIGTERM; the script and its server must not.
    const auto vorher = std::signal(SIGTERM, SIG_IGN);
    w.starten().starten();
    std::signal(SIGTERM, vorher);
    ASSERT_TRUE(bisZu(10s, [&] { return fs::exists(aufruf); }));
    EXPECT_EQ(rohLesen(aufruf, 1000), autostart ? "--still\n--autostart\nstill-ok\n" : "--still\nstill-ok\n");
    // The switch returns only after the script has finished.
    w.steuerung->autostartUmschalten();
    EXPECT_EQ(rohLesen(aufruf, 1000), "--autostart-an\nstill-ok\n");
    if (!autostart) continue;
    // ... or once it has run too long.
    ProtokollMitschnitt protokoll;
    dateiSchreiben(ressourcen / "starten", "echo $$ > \"$0.pid\"; exec sleep 60\n");
    w.steuerung->autostartUmschalten();
    EXPECT_EQ(protokoll.zeilen().at(0),
              "Taler Wacht: Startskript läuft nach 5 s noch — nicht länger gewartet");
    if (const auto pid = lesen(ressourcen / "starten.pid")) ::kill(std::stoi(*pid), SIGKILL);
  }
}

TEST(Serversteuerung, AnhaltenUndBeendenTreffenNurUnserProgramm) {
  for (const std::string tresor : {"offen", "zu"}) {
    ProtokollMitschnitt protokoll;
    // The second page never answers its lock.
    RohServer eins(httpAntwort(200, "application/json", "{}")),
        zwei(httpAntwort(200, "application/json", "{}"), RohServer::Art::postSchweigt);
    Echtwelt w;
    // The stand-in server as a process of ours, with its files in the test's folder.
    Kindprozess programm({.argumente = {TW_GELD_BOTE, "--instanz", "--port", "0"},
                          .umgebung = {{"HOME", (w.ordner / "heim").string()},
                                       {"GELD_BOTE_ZUSTAND", (w.ordner / "server").string()}}});
    ASSERT_GT(bereitePort(programm), 0);
    Kindprozess fremd({.argumente = {"/bin/sleep", "60"}});
    w.runde(laufend("zu", fremd.pid()));
    w.steuerung->anhalten();
    EXPECT_FALSE(fremd.warten(300ms));
    EXPECT_EQ(protokoll.zeilen().size(), 1u);

    Zustand z = laufend(tresor, programm.pid());
    z.seiten = {*Url::aus(eins.adresse("/t/k/")), *Url::aus(zwei.adresse("/"))};
    w.runde(z);
    w.steuerung->beenden();
    w.schleife.hintergrundAbarbeiten();
    EXPECT_EQ(w.anwendung.anfragen, 0);  // only once back on the main loop
    w.schleife.vorruecken(0ms);
    EXPECT_EQ(w.anwendung.anfragen, 1);
    EXPECT_TRUE(endeteMit(programm.warten(10s), 0));
    const bool offen = tresor == "offen";
    // A page that never confirmed its lock is named before the end, and only then.
    EXPECT_EQ(w.dialoge.hinweise.size(), offen ? 1u : 0u);
    if (offen) {
      EXPECT_EQ(w.dialoge.hinweise[0].nachricht, "Der Tresor ließ sich nicht überall sperren");
    }
    ASSERT_EQ(eins.anfragen().size(), offen ? 1u : 0u);
    ASSERT_EQ(zwei.anfragen().size(), offen ? 1u : 0u);
    if (!offen) continue;
    EXPECT_TRUE(eins.anfragen()[0].starts_with("POST /t/k/sperren HTTP/1.1\r\n")) << eins.anfragen()[0];
    EXPECT_TRUE(zwei.anfragen()[0].starts_with("POST /sperren HTTP/1.1\r\n")) << zwei.anfragen()[0];
  }
}

}  // namespace
}  // namespace tw
