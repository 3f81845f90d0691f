#pragma once
// The lookup of one record: "select <read-back columns> from <table>
// Where <key>=<literal> and ...", built once per table and refilled with
// each record's key values. Key values are typed by the key column's ADO
// type, so the dialect quotes or binds them: text types compare as text,
// date types as a date literal, every other type as a number.
#include <string>
#include <vector>

#include "common/Fechas.h"
#include "db/Consulta.h"
#include "db/Dialecto.h"
#include "import/DefinicionTabla.h"

namespace varlo {

// Why a record whose key value is the table's "TextoNulo" is refused.
std::string ValorNuloEnLlave(const std::string& llave);

// A date key read at fixed places: day 1-2, month 4-5, year 7-10 and, past
// ten characters, a time at 12-19 (hh:mm:ss; "p.m." adds 12 to hours 1 to
// 11, "a.m." turns 12 into 0). Other texts are read with the table's mask
// (FechaConFormaDeMascara, or CortaFecha's parts, each a number). Error 5
// for a day that does not exist (nothing carries over), 13 for no date.
FechaHora FechaDeLlave(const std::string& valor, const MascaraFecha& mascara);

class ConsultaBusqueda {
 public:
  // `motor`: the database, which tells whether its date columns keep a time.
  ConsultaBusqueda(const DefinicionTabla& d, db::Motor motor);

  // The lookup for one record's values (one per column; every key has its
  // column). A key value that is empty once trimmed, or the table's
  // "TextoNulo", is refused before any query: error 5.
  const db::Consulta& Para(const std::vector<std::string>& valores);
  const db::Consulta& Actual() const { return consulta_; }

 private:
  const DefinicionTabla& d_;
  db::Consulta consulta_;
  std::vector<bool> llaveEntera_;  // the key column holds whole numbers
  std::vector<bool> soloFecha_;    // the key column keeps no time of day
};

}  // namespace varlo
