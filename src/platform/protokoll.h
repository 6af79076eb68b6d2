#pragma once
// Seam: where log lines go. Linux: SyslogProtokoll (syslog and stderr).

#include <string_view>

namespace tw {

struct Protokoll {
  virtual ~Protokoll() = default;
  // One whole line, already carrying the program's prefix. Called from any thread.
  virtual void zeile(std::string_view zeile) = 0;
};

}  // namespace tw
