#pragma once
// Shared pieces of the table-import tests: a definitions file written from
// INI text, and a table's column plan read from it as the import reads it.
#include <string>
#include <vector>

#include "common/Kelto_API_INIFiles.h"
#include "common/Texto.h"
#include "definitions/LectorDefiniciones.h"
#include "import/DefinicionTabla.h"
#include "import/PlanColumnas.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

struct PlanLeido {
  DefinicionTabla d;
  bool algunaNombrada = false;
};

// The plan of table `tabla` from `ini`, with the probe's fields given as
// (name, ADO type) and the key "NombreIndice" cut at ",".
inline PlanLeido LeePlan(const CarpetaTemporal& tmp, const std::string& ini,
                         const std::string& tabla, const std::string& nombreIndice,
                         const std::vector<std::pair<std::string, int>>& campos = {},
                         std::int16_t columnaJerarquia = 0) {
  std::string ruta = tmp.Archivo("defs.ini");
  EscribeBytes(ruta, ini);
  Kelto_API_INIFiles perfil;
  LectorDefiniciones lector(perfil, ruta);
  PlanLeido r;
  r.d.Tabla = tabla;
  r.d.NombreIndice = nombreIndice;
  r.d.Indices = varlo::Divide(nombreIndice, ",");
  r.d.ColumnaJerarquia = columnaJerarquia;
  for (const auto& [nombre, tipo] : campos) {
    r.d.NombresTabla.push_back(nombre);
    r.d.TiposTabla.push_back(tipo);
  }
  r.d.Columnas = lector.Numero(tabla, "Columnas", "0");
  r.algunaNombrada = ConstruyePlan(lector, r.d);
  return r;
}

// Values of `linea` split with the plan's layout.
inline std::vector<std::string> Valores(const DefinicionTabla& d, const std::string& linea) {
  std::vector<std::string> v;
  DivisorDe(d).Divide(linea, v);
  return v;
}

}  // namespace varlo::prueba
