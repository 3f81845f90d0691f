#pragma once
// What a table holds, read through the database layer, for a test to compare.
#include <algorithm>
#include <string>
#include <vector>

#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/TiposAdo.h"

namespace varlo::prueba {

// Every row of `tabla`, its `columnas` as text (`nulo` for null; a CHAR(n)
// value without the padding some databases add), rows sorted.
inline std::vector<std::vector<std::string>> LeeFilas(db::Conexion& cn, const std::string& tabla,
                                                      const std::vector<std::string>& columnas,
                                                      const std::string& nulo = "NULL") {
  db::Consulta c;
  c.columnas = columnas;
  c.tabla = tabla;
  std::vector<std::vector<std::string>> r;
  for (auto rs = cn.AbreConsulta(c, 0); !rs->EOF_(); rs->MoveNext()) {
    r.emplace_back();
    for (int i = 0; i < rs->FieldCount(); ++i) {
      const bool fijo = rs->Field(i).tipo == db::adChar || rs->Field(i).tipo == db::adWChar;
      r.back().push_back(db::EsNulo(rs->Value(i)) ? nulo
                         : fijo                   ? RecortaDer(rs->Texto(i))
                                                  : rs->Texto(i));
    }
  }
  std::sort(r.begin(), r.end());
  return r;
}

}  // namespace varlo::prueba
