#pragma once
// Records log lines while it exists, instead of sending them on.

#include <mutex>
#include <string>
#include <vector>

#include "app/protokoll.h"

namespace tw {

class ProtokollMitschnitt final : public Protokoll {
 public:
  ProtokollMitschnitt() : vorher_(protokollEinsetzen(this)) {}
  ~ProtokollMitschnitt() override { protokollEinsetzen(vorher_); }

  void zeile(std::string_view zeile) override {
    std::lock_guard lock(schloss_);
    zeilen_.emplace_back(zeile);
  }
  std::vector<std::string> zeilen() const {
    std::lock_guard lock(schloss_);
    return zeilen_;
  }

 private:
  Protokoll* vorher_;
  mutable std::mutex schloss_;
  std::vector<std::string> zeilen_;
};

}  // namespace tw
