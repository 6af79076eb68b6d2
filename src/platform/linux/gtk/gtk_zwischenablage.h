#pragma once
// Zwischenablage on the CLIPBOARD selection.

#include "platform/zwischenablage.h"

namespace tw {

class GtkZwischenablage final : public Zwischenablage {
 public:
  // Hands the text to a clipboard manager too, where there is one, so that it
  // can still be pasted after the app has ended.
  void setzen(std::string_view text) override;
};

}  // namespace tw
