// Prints the program's locations and its start-script search as "name=value" lines. The first use happens
// on a second thread, and the environment is changed afterwards: both must
// leave the values as they were first computed.
#include <cstdlib>
#include <iostream>
#include <thread>

#include "app/konstanten.h"
#include "lifecycle/skriptsuche.h"

int main() {
  std::thread([] { tw::sperrdatei(); }).join();
  ::setenv("GELD_BOTE_ZUSTAND", "/anderswo", 1);
  std::cout << "heim=" << tw::heim().string() << "\n"
            << "zustandOrdner=" << tw::zustandOrdner().string() << "\n"
            << "konfigOrdner=" << tw::konfigOrdner().string() << "\n"
            << "sperrdatei=" << tw::sperrdatei().string() << "\n"
            << "bestaetigteAdresse=" << tw::bestaetigteAdresse().string() << "\n"
            << "gezeigteAdresse=" << tw::gezeigteAdresse().string() << "\n"
            << "imBuendel=" << tw::imBuendel() << "\n"
            << "eigeneFassung=" << tw::eigeneFassung() << "\n";
  const auto fund = tw::skriptSuchen();
  std::cout << "skript=" << (fund.skript ? fund.skript->string() : "") << "\n"
            << "abgelehnt=" << fund.abgelehnt << "\n";
}
