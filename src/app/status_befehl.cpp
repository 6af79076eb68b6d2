// taler-wacht-status: one collection, as the menu app would make it now,
// printed as a JSON object.

#include <cstdio>
#include <iostream>
#include <string_view>

#include "status/sammeln.h"
#include "status/zustand_json.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    const std::string_view arg = argv[1];
    const bool hilfe = arg == "--help" || arg == "-h";
    (hilfe ? std::cout : std::cerr)
        << "Aufruf: taler-wacht-status\n"
           "Gibt den Zustand der lokalen Server als JSON-Objekt aus, so wie Taler Wacht ihn sieht.\n";
    return hilfe ? 0 : 2;
  }
  const auto json = tw::zustandAlsJson(tw::sammeln());
  std::cout << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  return std::cout.good() ? 0 : 1;
}
