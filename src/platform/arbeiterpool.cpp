#include "platform/arbeiterpool.h"

namespace tw {

Arbeiterpool::Arbeiterpool(std::size_t hoechstens) : hoechstens_(hoechstens < 1 ? 1 : hoechstens) {}

Arbeiterpool::~Arbeiterpool() {
  {
    std::lock_guard lock(schloss_);
    ende_ = true;
    dringend_.clear();
    nebenbei_.clear();
  }
  wecker_.notify_all();
  for (auto& faden : faeden_) faden.join();
}

void Arbeiterpool::einreihen(Dringlichkeit dringlichkeit, Aufgabe aufgabe) {
  {
    std::lock_guard lock(schloss_);
    if (ende_) return;
    (dringlichkeit == Dringlichkeit::nutzer ? dringend_ : nebenbei_).push_back(std::move(aufgabe));
    const std::size_t wartend = dringend_.size() + nebenbei_.size();
    if (wartend > untaetig_ && faeden_.size() < hoechstens_) faeden_.emplace_back([this] { arbeiten(); });
  }
  wecker_.notify_one();
}

void Arbeiterpool::arbeiten() {
  std::unique_lock lock(schloss_);
  for (;;) {
    ++untaetig_;
    wecker_.wait(lock, [this] { return ende_ || !dringend_.empty() || !nebenbei_.empty(); });
    --untaetig_;
    if (ende_) return;
    auto& reihe = dringend_.empty() ? nebenbei_ : dringend_;
    Aufgabe aufgabe = std::move(reihe.front());
    reihe.pop_front();
    lock.unlock();
    aufgabe();
    aufgabe = nullptr;  // drop captured state outside the lock
    lock.lock();
  }
}

}  // namespace tw
