#pragma once
// The stand-in's command line and the environment values it reads.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/konstanten.h"

namespace tw {

enum class Rolle { programm, instanz };

struct Aufruf {
  Rolle rolle = Rolle::instanz;
  int port = 0;  // 0: any free port
  std::string fassung{FASSUNG};
  std::int64_t minuten = 30;                       // how long an unlock lasts
  std::chrono::milliseconds minutenlaenge{60000};  // how long one of those minutes is
};

// The settings of a call, or one line saying why it is refused.
// `argumente` excludes the program name.
std::variant<Aufruf, std::string> aufrufLesen(const std::vector<std::string_view>& argumente,
                                              const Umgebung& umgebung);

}  // namespace tw
