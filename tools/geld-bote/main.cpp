#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "aufruf.h"
#include "dienst.h"
#include "melden.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> argumente(argv + 1, argv + argc);
  const auto aufruf = tw::aufrufLesen(argumente, tw::umgebung());
  if (const auto* grund = std::get_if<std::string>(&aufruf)) {
    tw::melden(*grund +
               " (Aufruf: geld-bote --programm|--instanz [--port N] [--fassung TEXT] [--minuten N] "
               "[--minutenlaenge MS])");
    return 2;
  }
  try {
    return tw::dienstAusfuehren(std::get<tw::Aufruf>(aufruf));
  } catch (const std::exception& e) {
    tw::melden(e.what());
    return 1;
  }
}
