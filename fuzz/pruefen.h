#pragma once
// A broken property aborts, naming its line, so that libFuzzer keeps the input
// as a crash and the log says which property it broke.

#include <cstdio>
#include <cstdlib>

#define TW_PRUEFEN(bedingung)                                                                    \
  do {                                                                                           \
    if (!(bedingung)) {                                                                          \
      std::fprintf(stderr, "Eigenschaft verletzt: %s:%d: %s\n", __FILE__, __LINE__, #bedingung); \
      std::abort();                                                                              \
    }                                                                                            \
  } while (0)
