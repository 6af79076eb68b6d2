// The app's side of the window program against programs that fail as a web
// engine's host may: each failure is one log line and one report, and the
// next page starts afresh.

#include "platform/linux/gtk/fensterprogramm.h"

#include "fakes/oberflaeche.h"
#include "fakes/protokoll_mitschnitt.h"
#include "fakes/virtuelle_schleife.h"
#include "helfer/gtk_testhilfe.h"
#include "setupwindow/fenster.h"
#include "test.h"

namespace tw {
namespace {

TEST(Fensterprogramm, AusfallIstEineZeileUndEineMeldung) {
  ASSERT_TRUE(gtkBereit());
  // The program's script (none: it may not be run), and what the log line says.
  for (const auto& [skript, grund] : std::vector<std::pair<std::string, std::string>>{
           {"exit 3", "das Fensterprogramm endete mit Status 3"},
           {"exec sleep 30", "keine Antwort auf den Start"},
           // "bereit" as the channel frames it, then no channel and no end
           {R"(printf '\016\0\0\0\001\0\0\0\006\0\0\0bereit' >&3; exec 3>&-; exec sleep 30)",
            "das Fensterprogramm schloss den Kanal und lief weiter"},
           {"", "das Fensterprogramm ließ sich nicht starten"}}) {
    SCOPED_TRACE(skript);
    TempOrdner ordner;
    dateiSchreiben(ordner / "fenster", "#!/bin/sh\n" + skript + "\n");
    fs::permissions(ordner / "fenster", skript.empty() ? fs::perms::owner_read : fs::perms::owner_all);
    ProtokollMitschnitt protokoll;
    Fensterprogramm programm(Fensterprogramm::programm(ordner / "fenster"), ordner / "rahmen", 500ms);
    DialogeNachPlan dialoge;
    BrowserMitschnitt browser;
    VirtuelleSchleife uhr;
    Fenster fenster(programm, dialoge, browser, uhr, {ordner / "konfig", ordner.pfad(), "Taler Wacht"});
    for (std::size_t mal = 1; mal <= 2; ++mal) {
      fenster.zeigen(*Url::aus("http://127.0.0.1:1/"));
      ASSERT_TRUE(bisAbgearbeitet([&] { return dialoge.hinweise.size() == mal; }));
    }
    const auto zeilen = protokoll.zeilen();
    EXPECT_EQ(zeilen.size(), 2u);
    EXPECT_TRUE(zeilen.at(0).starts_with("Taler Wacht: Einrichtungsfenster ausgefallen: " + grund))
        << zeilen[0];
  }
}

}  // namespace
}  // namespace tw
