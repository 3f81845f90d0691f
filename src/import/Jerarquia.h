#pragma once
// Hierarchy levels: table "Jerarquias" holds one row per unit, "Key" =
// "_" + level digit + value and "Parent" = the key of the unit above. The
// walk climbs from a unit to level 0; the level step stores each parent's
// value in its "ID_Nivel" column.
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/Consulta.h"

namespace varlo {
namespace db {
class Conexion;
class Recordset;
}  // namespace db

// The parents of a unit, nearest first; nothing where a level has no entry.
using PadresJerarquia = std::vector<std::optional<std::string>>;

// "Select [Parent] From Jerarquias Where [Key]='<llave>'".
db::Consulta ConsultaJerarquia(const std::string& llave);

// Walks from unit `valor` (trimmed) at level `nivel` (a level as text) up to
// level 0. A missing entry gives no value at the level below it and the walk
// goes on from the unit "-1" there. Error 5, saying why, for a null "Parent"
// or a walk that does not reach level 0 in ten steps.
PadresJerarquia ObtenerPadres(db::Conexion& cn, const std::string& nivel, const std::string& valor);

// The walks of one table's import. A unit's parents do not change while a
// table is imported, so each unit is walked once: a lookup per level and
// record would also write the rows held for the batch one at a time. A
// table that is the hierarchy itself is walked every time. A walk that
// fails is not kept: it fails again, with its reason, for every record.
class RecorridosJerarquia {
 public:
  explicit RecorridosJerarquia(const std::string& tablaImportada);
  const PadresJerarquia& Padres(db::Conexion& cn, const std::string& nivel,
                                const std::string& valor);

 private:
  static constexpr std::size_t kMaximoGuardados = 100000;  // memory stays bounded
  bool guarda_;
  std::map<std::pair<std::string, std::string>, PadresJerarquia> hechos_;
};

// The level step of one row: walks (through `recorridos`) from the current
// value of the hierarchy field and stores each level's value in its column
// (`indicesNivel`: "ID_Nivel" L-1 down to 0). On any failure the level
// columns keep the values they had.
void EscribeNiveles(db::Conexion& cn, db::Recordset& rs, const std::string& campoJerarquia,
                    int indiceJerarquia, const std::vector<int>& indicesNivel,
                    RecorridosJerarquia& recorridos);

}  // namespace varlo
