// Prints the program's locations and its start script as "name=value" lines. The first use happens on
// a second thread and the environment changes afterwards: the values must stay as first computed.
#include <cstdlib>
#include <iostream>
#include <thread>

#include "app/konstanten.h"
#include "lifecycle/skriptsuche.h"

int main() {
  std::thread([] { tw::sperrdatei(); }).join();
  ::setenv("GELD_BOTE_ZUSTAND", "/anderswo", 1);
  const auto fund = tw::skriptSuchen();
  std::cout << "konfigOrdner=" << tw::konfigOrdner().string() << "\nsperrdatei=" << tw::sperrdatei().string()
            << "\nbestaetigteAdresse=" << tw::bestaetigteAdresse().string()
            << "\ngezeigteAdresse=" << tw::gezeigteAdresse().string() << "\nimBuendel=" << tw::imBuendel()
            << "\neigeneFassung=" << tw::eigeneFassung()
            << "\nskript=" << (fund.skript ? fund.skript->string() : "") << "\n";
}
