#pragma once
// Finds copies of a byte string in another process's writable memory, for
// checking that a secret does not linger. Reads only pages that are present.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct Fundstelle {
  std::uintptr_t adresse;
  std::string abbildung;  // the mapping's name from /proc/<pid>/maps ("[heap]", a library, or empty)
};

std::vector<Fundstelle> speicherDurchsuchen(pid_t pid, std::string_view muster);

}  // namespace tw
