#pragma once
// Hierarchy levels: table "Jerarquias" holds one row per unit, "Key" =
// "_" + level digit + value and "Parent" = the key of the unit above. The
// walk climbs from a unit to level 0; the level step stores each parent's
// value in its "ID_Nivel" column.
#include <optional>
#include <string>
#include <vector>

#include "db/Consulta.h"

namespace varlo {
namespace db {
class Conexion;
class Recordset;
}  // namespace db

// The parents of a unit, nearest first; nothing where a level has no entry.
using PadresJerarquia = std::vector<std::optional<std::string>>;

// A walk that has not reached level 0 after this many steps fails.
inline constexpr int kPasosJerarquia = 10;

// "Select [Parent] From Jerarquias Where [Key]='<llave>'".
db::Consulta ConsultaJerarquia(const std::string& llave);

// Walks from unit `valor` (trimmed) at level `nivel` (a level as text) up to
// level 0. A missing entry gives no value at the level below it and the walk
// goes on from the unit "-1" there. Raises error 5 with a clear description
// for a null "Parent" or a walk that does not reach level 0.
PadresJerarquia RecorreJerarquia(db::Conexion& cn, const std::string& nivel,
                                 const std::string& valor);

// ",'v1','v2',Null": the walk as a list of SQL literals.
std::string TextoPadres(const PadresJerarquia& padres);

// The parents of a unit as that list; error 91 without a connection.
std::string ObtenerPadres(db::Conexion* cn, const std::string& strNivel,
                          const std::string& strValor);

// The level step of one row: walks from the current value of the hierarchy
// field and stores each level's value in its column (`indicesNivel`: the
// fields of "ID_Nivel" L-1 down to 0). On any failure the level columns
// keep the values they had.
void EscribeNiveles(db::Conexion& cn, db::Recordset& rs, const std::string& campoJerarquia,
                    int indiceJerarquia, const std::vector<int>& indicesNivel);

}  // namespace varlo
