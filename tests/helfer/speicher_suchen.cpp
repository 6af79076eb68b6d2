// speicher_suchen <pid>: counts copies of the bytes read from stdin in the
// process's writable memory and says where they are.
#include <iostream>
#include <iterator>
#include <map>

#include "helfer/speichersuche.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string muster(std::istreambuf_iterator<char>(std::cin), {});
  const auto funde = tw::speicherDurchsuchen(std::stoi(argv[1]), muster);
  std::map<std::string, int> orte;
  for (const auto& f : funde) ++orte[f.abbildung.empty() ? "[anonym]" : f.abbildung];
  std::cout << "Kopien: " << funde.size() << "\n";
  for (const auto& [ort, anzahl] : orte) std::cout << "  " << anzahl << " in " << ort << "\n";
}
