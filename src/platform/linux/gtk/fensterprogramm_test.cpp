// The app's side of the window program against programs that fail as a web
// engine's host may: each failure is one log line and one report, and the
// next page starts afresh.

#include "platform/linux/gtk/fensterprogramm.h"

#include <gtest/gtest.h>

#include "app/dateien.h"
#include "fakes/protokoll_mitschnitt.h"
#include "helfer/temp_ordner.h"
#include "platform/linux/gtk/gtk_testhilfe.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

struct Ausfaelle final : Webdelegat {
  bool navigationErlauben(std::string_view) override { return false; }
  void geladen() override {}
  void ladenFehlgeschlagen(std::string_view) override {}
  bool sollSchliessen() override { return true; }
  void fensterAusgefallen() override { ++anzahl; }
  int anzahl = 0;
};

TEST(Fensterprogramm, AusfallIstEineZeileUndEineMeldung) {
  ASSERT_TRUE(gtkBereit());
  // The program's script (none: it does not exist), and what the log line says.
  for (const auto& [skript, grund] : std::vector<std::pair<std::string, std::string>>{
           {"exit 3", "das Fensterprogramm endete mit Status 3"},
           {"kill -SEGV $$", "das Fensterprogramm endete durch Signal 11"},
           {"exec sleep 30", "keine Antwort auf den Start"},
           // "bereit" as the channel frames it, then no channel and no end
           {R"(printf '\016\0\0\0\001\0\0\0\006\0\0\0bereit' >&3; exec 3>&-; exec sleep 30)",
            "das Fensterprogramm schloss den Kanal und lief weiter"},
           {"", "das Fensterprogramm ließ sich nicht starten"}}) {
    SCOPED_TRACE(skript);
    TempOrdner ordner;
    if (!skript.empty()) {
      dateiSchreiben(ordner / "fenster", "#!/bin/sh\n" + skript + "\n");
      std::filesystem::permissions(ordner / "fenster", std::filesystem::perms::owner_all);
    }
    ProtokollMitschnitt protokoll;
    Ausfaelle delegat;
    Fensterprogramm programm(Fensterprogramm::programm(ordner / "fenster"), ordner / "rahmen", 500ms);
    programm.aufbauen({}, delegat);
    for (int mal = 1; mal <= 2; ++mal) {
      programm.seiteLaden("http://127.0.0.1:1/", 1s);
      programm.nachVorne();
      ASSERT_TRUE(bisAbgearbeitet([&] { return delegat.anzahl == mal; }));
    }
    const auto zeilen = protokoll.zeilen();
    ASSERT_EQ(zeilen.size(), 2u);
    EXPECT_TRUE(zeilen[0].starts_with("Taler Wacht: Einrichtungsfenster ausgefallen: " + grund)) << zeilen[0];
  }
}

}  // namespace
}  // namespace tw
