// The window program: the setup window and its web engine, in a process of
// their own so that a web engine that fails ends no more than this. The app
// starts it with its end of the channel as "--kanal=N".

#include <fcntl.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/protokoll.h"
#include "platform/linux/gtk/anwendungsname.h"
#include "platform/linux/gtk/barrierefreiheit.h"
#include "platform/linux/gtk/webkit_fenster.h"
#include "platform/linux/syslog_protokoll.h"

// In a sanitizer build: caches of fontconfig and WebKit that live until the process ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libjavascriptcoregtk-4.1.so\nleak:libwebkit2gtk-4.1.so\n";
}

int main(int argc, char** argv) {
  static tw::SyslogProtokoll protokoll;
  tw::protokollEinsetzen(&protokoll);
  int fd = -1;
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]).starts_with("--kanal=")) fd = std::atoi(argv[i] + std::strlen("--kanal="));
  if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) {
    tw::protokollieren("Fensterprogramm: ohne Kanal zur App gestartet");
    return 2;
  }
  // The web engine's own processes get no way to the app.
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);

  tw::barrierefreiheitVorGtk();
  tw::anwendungBenennen();
  if (!gtk_init_check(&argc, &argv)) {
    tw::protokollieren("Fensterprogramm: keine grafische Sitzung");
    return 1;
  }
  tw::barrierefreiheitNachGtk();

  GMainLoop* schleife = g_main_loop_new(nullptr, FALSE);
  {
    tw::WebkitFenster fenster(fd, [schleife] { g_main_loop_quit(schleife); });
    g_main_loop_run(schleife);
  }
  g_main_loop_unref(schleife);
  return 0;
}
