#include "platform/linux/gtk/programm.h"

#include <gtk/gtk.h>

#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/konstanten.h"
#include "app/lebensende.h"
#include "app/protokoll.h"
#include "controller/steuerung.h"
#include "lifecycle/einzelbetrieb.h"
#include "platform/hauptbuendel.h"
#include "platform/linux/glib_schleife.h"
#include "platform/linux/gtk/anwendungsname.h"
#include "platform/linux/gtk/appindikator_anzeige.h"
#include "platform/linux/gtk/barrierefreiheit.h"
#include "platform/linux/gtk/fensterprogramm.h"
#include "platform/linux/gtk/gio_browser.h"
#include "platform/linux/gtk/gtk_dialoge.h"
#include "platform/linux/gtk/gtk_zwischenablage.h"
#include "platform/linux/gtk/pam_bestaetigung.h"
#include "platform/linux/libsecret_schluesselbund.h"
#include "platform/linux/syslog_protokoll.h"

namespace tw {

namespace {

// Ending the app in order: the controller tidies up, then the loop stops.
struct Programmende final : Anwendung {
  GlibSchleife& schleife;
  Fensterprogramm& web;
  AppindikatorAnzeige& anzeige;
  Steuerung* steuerung = nullptr;

  Programmende(GlibSchleife& s, Fensterprogramm& w, AppindikatorAnzeige& a)
      : schleife(s), web(w), anzeige(a) {}
  // The window program saves the frame as it ends; a notification standing in for the icon goes.
  void aufraeumen() {
    web.beenden();
    anzeige.beenden();
  }
  void beendenAnfragen() override {
    schleife.posten([this] {
      aufraeumen();
      if (steuerung) steuerung->applicationWillTerminate();
      schleife.beenden();
    });
  }
};

// The window program lies beside the executable.
std::filesystem::path programmOrdner() {
  const auto ausfuehrbar = hauptbuendel().ausfuehrbarerPfad();
  return ausfuehrbar ? ausfuehrbar->parent_path() : std::filesystem::path(".");
}

// The real seams, alive for the whole run.
struct Schale {
  explicit Schale(GlibSchleife& schleife)
      : anzeige(hauptbuendel().ort() / "Contents/Resources/symbole"),
        ende(schleife, web, anzeige),
        besitzer(schleife),
        web(Fensterprogramm::programm(programmOrdner() / "taler-wacht-fenster"),
            konfigOrdner() / "fensterrahmen") {}
  AppindikatorAnzeige anzeige;
  GtkDialoge dialoge;
  GtkZwischenablage ablage;
  Programmende ende;
  LibsecretSchluesselbund schluesselbund;
  PamBestaetigung besitzer;
  Fensterprogramm web;
  GioBrowser browser;
};

}  // namespace

int Programm::main(int argc, char** argv) {
  static SyslogProtokoll protokoll;
  protokollEinsetzen(&protokoll);
  const std::vector<std::string> argumente(argv + 1, argv + argc);

  barrierefreiheitVorGtk();
  anwendungBenennen();
  // The app draws nothing with OpenGL, yet GDK on X11 would load the GL stack
  // (Mesa and LLVM, megabytes) only to pick a visual. The window program and
  // the scripts get the variable as it was.
  const char* gl = std::getenv("GDK_GL");
  const std::optional<std::string> glVorher = gl ? std::optional<std::string>(gl) : std::nullopt;
  ::setenv("GDK_GL", "disable", 1);
  const bool grafisch = gtk_init_check(&argc, &argv);
  if (glVorher)
    ::setenv("GDK_GL", glVorher->c_str(), 1);
  else
    ::unsetenv("GDK_GL");
  // A copy that cannot show anything must not take over from one that can.
  if (!grafisch) {
    protokollieren(
        "keine grafische Sitzung (DISPLAY oder WAYLAND_DISPLAY) — ohne sie gibt es kein Symbol; eine "
        "laufende Kopie bleibt unberührt");
    prozessBeenden(1);
  }
  barrierefreiheitNachGtk();

  static GlibSchleife schleife;
  einzigBleiben(schleife);

  // From here on SIGTERM is an orderly exit through the main loop.
  static Programmende* ende = nullptr;
  std::signal(SIGTERM, SIG_IGN);
  schleife.beiSignal(SIGTERM, [] {
    if (ende) ende->aufraeumen();
    aufraeumen();
    prozessBeenden(0);
  });

  static Schale schale(schleife);
  ende = &schale.ende;
  static Steuerung steuerung(Oberflaeche{schleife, schale.anzeige, schale.dialoge, schale.ablage, schale.ende,
                                         schale.schluesselbund, schale.besitzer, schale.web, schale.browser},
                             programmDienste(argumente));
  schale.ende.steuerung = &steuerung;
  steuerung.applicationDidFinishLaunching();

  schleife.laufen();
  prozessBeenden(0);
}

}  // namespace tw
