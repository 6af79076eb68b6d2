// The server control against real processes, scripts and HTTP servers.

#include <gtest/gtest.h>
#include <unistd.h>

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

// A bundle whose start script writes its arguments, one per line, beside it.
fs::path buendelMitSkript(const TempOrdner& ordner) {
  const fs::path ressourcen = ordner / "Taler Wacht.app/Contents/Resources";
  fs::create_directories(ressourcen);
  dateiSchreiben(ressourcen / "starten",
                 "ausgabe=\"$(dirname \"$0\")/aufruf\"\n"
                 "printf '%s\\n' \"$@\" > \"$ausgabe.neu\"\n"
                 "[ -t 1 ] || echo still-ok >> \"$ausgabe.neu\"\n"
                 "ign=$(awk '/^SigIgn/ { print $2 }' /proc/$$/status)\n"
                 "(( 0x$ign & 0x4000 )) && echo sigterm-ignoriert >> \"$ausgabe.neu\"\n"
                 "mv \"$ausgabe.neu\" \"$ausgabe\"\n");
  return ressourcen / "starten";
}

void echteProzesse(Steuerungswelt& w) {
  w.dienste.bashStarten = bashStarten;
  w.dienste.unserenBeenden = [](pid_t pid) { unserenBeenden(pid); };
}

// The stand-in server as a process of ours, with its files in the test's folder.
Start standIn(const Steuerungswelt& w) {
  return {.argumente = {TW_GELD_BOTE, "--instanz", "--port", "0"},
          .umgebung = {{"HOME", (w.ordner / "heim").string()},
                       {"GELD_BOTE_ZUSTAND", (w.ordner / "server").string()}}};
}

TEST(Serversteuerung, StartenRuftDasSkriptDesBuendels) {
  for (const bool autostart : {false, true}) {
    Steuerungswelt w;
    echteProzesse(w);
    w.fund.skript = buendelMitSkript(w.ordner);
    if (autostart) w.dienste.argumente = {"--autostart"};
    // The app ignores SIGTERM; the script and its server must not.
    const auto vorher = std::signal(SIGTERM, SIG_IGN);
    w.starten().starten();
    std::signal(SIGTERM, vorher);
    const fs::path aufruf = w.fund.skript->parent_path() / "aufruf";
    ASSERT_TRUE(bisZu(10s, [&] { return fs::exists(aufruf); }));
    EXPECT_EQ(rohLesen(aufruf, 1000), autostart ? "--still\n--autostart\nstill-ok\n" : "--still\nstill-ok\n");
  }
}

TEST(Serversteuerung, AutostartSchalterWartetAufDasSkript) {
  Steuerungswelt w;
  echteProzesse(w);
  w.fund.skript = buendelMitSkript(w.ordner);
  w.starten().autostartUmschalten();
  // The call returned only after the script had finished.
  EXPECT_EQ(rohLesen(w.fund.skript->parent_path() / "aufruf", 1000), "--autostart-an\nstill-ok\n");
}

TEST(Serversteuerung, AnhaltenTrifftNurUnserProgramm) {
  ProtokollMitschnitt protokoll;
  Steuerungswelt w;
  echteProzesse(w);
  Kindprozess unser(standIn(w));
  ASSERT_GT(bereitePort(unser), 0);
  Kindprozess fremd({.argumente = {"/bin/sleep", "60"}});

  Steuerung& s = w.starten();
  w.runde(laufend("zu", fremd.pid()));
  s.anhalten();
  EXPECT_FALSE(fremd.warten(300ms));
  EXPECT_EQ(protokoll.zeilen().size(), 1u);

  w.runde(laufend("zu", unser.pid()));
  s.anhalten();
  EXPECT_TRUE(endeteMit(unser.warten(10s), 0));
}

TEST(Serversteuerung, BeendenSperrtJedeSeiteBeiOffenemTresor) {
  for (const std::string tresor : {"offen", "zu"}) {
    RohServer eins(httpAntwort(200, "application/json", "{}"));
    RohServer zwei(httpAntwort(200, "application/json", "{}"));
    Steuerungswelt w;
    echteProzesse(w);
    Kindprozess programm(standIn(w));
    ASSERT_GT(bereitePort(programm), 0);

    Steuerung& s = w.starten();
    Zustand z = laufend(tresor, programm.pid());
    z.seiten = {*Url::aus(eins.adresse("/t/k/")), *Url::aus(zwei.adresse("/"))};
    w.runde(z);
    s.beenden();
    w.schleife.hintergrundAbarbeiten();
    EXPECT_EQ(w.anwendung.anfragen, 0);  // only once back on the main loop
    w.schleife.vorruecken(0ms);
    EXPECT_EQ(w.anwendung.anfragen, 1);
    EXPECT_TRUE(endeteMit(programm.warten(10s), 0));

    const auto a = eins.anfragen();
    const auto b = zwei.anfragen();
    if (tresor == "offen") {
      ASSERT_EQ(a.size(), 1u);
      ASSERT_EQ(b.size(), 1u);
      EXPECT_EQ(a[0].rfind("POST /t/k/sperren HTTP/1.1\r\n", 0), 0u) << a[0];
      EXPECT_EQ(b[0].rfind("POST /sperren HTTP/1.1\r\n", 0), 0u) << b[0];
    } else {
      EXPECT_TRUE(a.empty());
      EXPECT_TRUE(b.empty());
    }
  }
}

}  // namespace
}  // namespace tw
