#pragma once
// A few background threads for blocking work (file reads, local HTTP
// requests). Threads start on demand; urgent tasks are taken first.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ereignisschleife.h"

namespace tw {

class Arbeiterpool {
 public:
  explicit Arbeiterpool(std::size_t hoechstens = 4);
  // Waits for running tasks; tasks not yet started are dropped.
  ~Arbeiterpool();
  Arbeiterpool(const Arbeiterpool&) = delete;
  Arbeiterpool& operator=(const Arbeiterpool&) = delete;

  void einreihen(Dringlichkeit dringlichkeit, Aufgabe aufgabe);

 private:
  void arbeiten();

  const std::size_t hoechstens_;
  std::mutex schloss_;
  std::condition_variable wecker_;
  std::deque<Aufgabe> dringend_;
  std::deque<Aufgabe> nebenbei_;
  std::vector<std::thread> faeden_;
  std::size_t untaetig_ = 0;
  bool ende_ = false;
};

}  // namespace tw
