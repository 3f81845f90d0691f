#pragma once
// A peer program run through the shell, for a test to judge by: what it
// prints, and for psql, the rows a script of the test cluster returns.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/CarpetaTemporal.h"
#include "support/Psql.h"

namespace varlo::prueba {

// What `orden` prints on stdout; `estado` gets its exit status.
inline std::string SalidaDeOrden(const std::string& orden, int* estado = nullptr) {
  std::string texto;
  int st = -1;
  if (std::FILE* p = popen(orden.c_str(), "r")) {
    char b[4096];
    for (std::size_t n; (n = std::fread(b, 1, sizeof b, p)) > 0;) texto.append(b, n);
    st = pclose(p);
  }
  if (estado) *estado = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return texto;
}

// The non-empty lines of a command's output.
inline std::vector<std::string> LineasNoVacias(const std::string& texto) {
  std::vector<std::string> lineas;
  for (std::size_t i = 0, fin; i < texto.size(); i = fin + 1) {
    fin = std::min(texto.find('\n', i), texto.size());
    if (fin > i) lineas.push_back(texto.substr(i, fin - i));
  }
  return lineas;
}

// The non-empty lines psql prints for the script `sql`, written to `archivo`
// and run on the test cluster's database (unaligned, tuples only, stopping
// at the first error, which fails the test). `opciones` go to psql as given.
inline std::vector<std::string> PsqlGuion(const std::string& archivo, const std::string& sql,
                                          const std::string& opciones = "") {
  const char* puerto = std::getenv("VARLODI_PG_PORT");
  if (!puerto || !*puerto) {
    ADD_FAILURE() << "VARLODI_PG_PORT is not set (scripts/pg-cluster start prints it)";
    return {};
  }
  EscribeBytes(archivo, sql);
  int estado = -1;
  const std::string salida = SalidaDeOrden(
      "PGPASSWORD=varlodi " + Psql() + " -X -q -A -t -v ON_ERROR_STOP=1 " + opciones +
          " -h 127.0.0.1 -p " + puerto + " -U varlodi -d varlodi -f '" + archivo + "' 2>&1",
      &estado);
  EXPECT_EQ(estado, 0) << salida;
  return LineasNoVacias(salida);
}

}  // namespace varlo::prueba
