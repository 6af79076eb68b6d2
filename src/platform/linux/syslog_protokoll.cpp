#include "platform/linux/syslog_protokoll.h"

#include <syslog.h>
#include <unistd.h>

#include <string>

namespace tw {

SyslogProtokoll::SyslogProtokoll() { ::openlog("TalerWacht", LOG_PID, LOG_USER); }

void SyslogProtokoll::zeile(std::string_view zeile) {
  std::string text(zeile);
  ::syslog(LOG_NOTICE, "%s", text.c_str());
  text += '\n';
  [[maybe_unused]] auto n = ::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace tw
