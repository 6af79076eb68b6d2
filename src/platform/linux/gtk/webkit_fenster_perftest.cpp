// Figures for the setup window: how long a page takes to show when the window
// is opened anew (a fresh window program each time), and the memory of this
// process, which stands for the app, and of the window program and its web
// process while the page shows and after closing.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

#include "fakes/oberflaeche.h"
#include "helfer/gtk_testhilfe.h"
#include "helfer/roh_server.h"
#include "platform/linux/glib_schleife.h"
#include "platform/linux/gtk/fensterprogramm.h"
#include "platform/linux/gtk/gio_browser.h"
#include "setupwindow/fenster.h"

// In a sanitizer build: fontconfig's caches, freed only by FcFini.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace tw {
namespace {

using Uhrzeit = std::chrono::steady_clock;

// Passes everything through and notes when a page has finished loading.
struct Stoppuhr final : Webfenster, Webdelegat {
  explicit Stoppuhr(Webfenster& w) : echt(w) {}
  void aufbauen(const Fensterbauplan& plan, Webdelegat& d) override {
    delegat = &d;
    echt.aufbauen(plan, *this);
  }
  void seiteLaden(const std::string& adresse, Dauer frist) override { echt.seiteLaden(adresse, frist); }
  void htmlLaden(const std::string& html) override { echt.htmlLaden(html); }
  void nachVorne() override { echt.nachVorne(); }
  void schliessen() override { echt.schliessen(); }
  std::string adresse() const override { return echt.adresse(); }
  bool navigationErlauben(std::string_view adresse) override { return delegat->navigationErlauben(adresse); }
  void geladen() override {
    fertig = Uhrzeit::now();
    delegat->geladen();
  }
  void ladenFehlgeschlagen(std::string_view text) override { delegat->ladenFehlgeschlagen(text); }
  bool sollSchliessen() override { return delegat->sollSchliessen(); }
  void fensterAusgefallen() override { delegat->fensterAusgefallen(); }

  Webfenster& echt;
  Webdelegat* delegat = nullptr;
  std::optional<Uhrzeit::time_point> fertig;
};

// Proportional set size in MB, or -1 when the process is gone.
double pss(pid_t pid) {
  std::ifstream datei("/proc/" + std::to_string(pid) + "/smaps_rollup");
  for (std::string zeile; std::getline(datei, zeile);)
    if (zeile.starts_with("Pss:")) return std::stod(zeile.substr(4)) / 1024;
  return -1;
}

// Whether this process has mapped a library of the web engine or the GL stack.
bool webkitGeladen() {
  std::ifstream karte("/proc/self/maps");
  for (std::string zeile; std::getline(karte, zeile);)
    for (const char* teil :
         {"libwebkit2gtk", "libjavascriptcoregtk", "libLLVM", "libgallium", "_dri.so", "libGLX_mesa"})
      if (zeile.find(teil) != std::string::npos) return true;
  return false;
}

void speicherZeigen(const char* wann) {
  std::printf("%s: PSS this process %.1f MB%s", wann, pss(::getpid()),
              webkitGeladen() ? " (web engine libraries mapped)" : "");
  double zusammen = 0;
  for (const char* name : {"taler-wacht-fen", "WebKitWebProces", "WebKitNetworkP", "xdg-dbus-proxy"})
    for (const pid_t p : nachkommen(name)) std::printf(", %s %.1f MB", name, pss(p)), zusammen += pss(p);
  std::printf(", below it together %.1f MB\n", zusammen);
}

int messen() {
  // As the app does: GDK would load the GL stack only to pick a visual.
  g_setenv("GDK_GL", "disable", TRUE);
  const bool bereit = gtkBereit();
  g_unsetenv("GDK_GL");
  if (!bereit) return std::fprintf(stderr, "no display\n"), 1;
  TempOrdner ordner;
  std::string koerper = "<!doctype html><meta charset=utf-8><h1>Einrichtung</h1>";
  for (int i = 0; i < 40; ++i) koerper += "<p>Konto " + std::to_string(i) + ": <input value=DE02></p>";
  RohServer server(httpAntwort(200, "text/html; charset=utf-8", koerper));
  const Url seite = *Url::aus(server.adresse());
  GlibSchleife schleife;
  DialogeNachPlan dialoge;
  GioBrowser browser;
  Fensterprogramm programm(Fensterprogramm::programm(TW_FENSTERPROGRAMM), ordner / "rahmen");
  Stoppuhr web(programm);
  Fenster fenster(web, dialoge, browser, schleife, {ordner / "konfig", ordner / "zustand", "Taler Wacht"});
  fenster.erlaubteSeiten = {seite};
  speicherZeigen("before the window was first opened");

  std::vector<double> zeiten;
  for (int i = 0; i < 10; ++i) {
    web.fertig.reset();
    const auto anfang = Uhrzeit::now();
    fenster.zeigen(seite);
    if (!bisAbgearbeitet([&] { return web.fertig.has_value(); })) return std::fprintf(stderr, "no load\n"), 1;
    zeiten.push_back(std::chrono::duration<double, std::milli>(*web.fertig - anfang).count());
    if (i == 9)
      bisZu(std::chrono::seconds(2), [] { return abarbeiten(), false; }), speicherZeigen("page showing");
    programm.schliessen();
    if (!bisZu(std::chrono::seconds(10), [] { return abarbeiten(), nachkommen("taler-wacht-fen").empty(); }))
      return std::fprintf(stderr, "the window program did not end\n"), 1;
  }
  const char* nach = std::getenv("TW_NACH_SCHLIESSEN");
  const int sekunden = nach ? std::atoi(nach) : 60;
  bisZu(std::chrono::seconds(sekunden), [] { return abarbeiten(), false; });
  speicherZeigen((std::to_string(sekunden) + " s after closing").c_str());

  std::printf("zeigen until loaded, fresh window program each time, %zu runs:", zeiten.size());
  for (const double z : zeiten) std::printf(" %.0f", z);
  std::ranges::sort(zeiten);
  std::printf(" ms\nmedian %.0f ms, worst %.0f ms\n", (zeiten[4] + zeiten[5]) / 2, zeiten.back());
  return 0;
}

}  // namespace
}  // namespace tw

int main() { return tw::messen(); }
