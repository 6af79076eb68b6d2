#pragma once
// Browser through GIO: the desktop's default handler for the address's scheme.

#include "platform/browser.h"

namespace tw {

class GioBrowser final : public Browser {
 public:
  bool oeffnen(const std::string& adresse) override;
};

}  // namespace tw
