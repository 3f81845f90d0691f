#pragma once
// What every fuzz target shares: a broken invariant stops the run with the
// condition and its line, so that libFuzzer keeps the input as a crash.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define EXIGE(condicion)                                                                      \
  do {                                                                                        \
    if (!(condicion)) {                                                                       \
      std::fprintf(stderr, "invariante rota en %s:%d: %s\n", __FILE__, __LINE__, #condicion); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)

namespace varlo::fuzz {

// The fuzzer's bytes cut at the first "\n": the head and what follows it.
inline std::string_view CortaLinea(std::string_view& resto) {
  std::size_t fin = resto.find('\n');
  std::string_view linea = resto.substr(0, fin);
  resto = fin == std::string_view::npos ? std::string_view() : resto.substr(fin + 1);
  return linea;
}

}  // namespace varlo::fuzz
