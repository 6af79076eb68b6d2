#pragma once
// Seam: the clipboard. Linux: GtkZwischenablage. Tests: a recorder.

#include <string_view>

namespace tw {

struct Zwischenablage {
  virtual ~Zwischenablage() = default;
  // Main thread only. Replaces the clipboard's content with plain text.
  virtual void setzen(std::string_view text) = 0;
};

}  // namespace tw
