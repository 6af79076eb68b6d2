#include "app/programm.h"

#include <csignal>

#include "app/lebensende.h"
#include "app/protokoll.h"
#include "lifecycle/einzelbetrieb.h"
#include "platform/linux/glib_schleife.h"
#include "platform/linux/syslog_protokoll.h"

namespace tw {

int Programm::main(int, char**) {
  static SyslogProtokoll protokoll;
  protokollEinsetzen(&protokoll);
  static GlibSchleife schleife;

  einzigBleiben(schleife);

  // From here on SIGTERM is an orderly exit through the main loop.
  std::signal(SIGTERM, SIG_IGN);
  schleife.beiSignal(SIGTERM, [] {
    aufraeumen();
    prozessBeenden(0);
  });

  schleife.laufen();
  aufraeumen();
  prozessBeenden(0);
}

}  // namespace tw
