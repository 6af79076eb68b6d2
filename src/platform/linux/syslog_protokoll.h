#pragma once
// Protokoll for Linux: the system log (journald takes it) and stderr.

#include "platform/protokoll.h"

namespace tw {

class SyslogProtokoll final : public Protokoll {
 public:
  SyslogProtokoll();
  void zeile(std::string_view zeile) override;
};

}  // namespace tw
