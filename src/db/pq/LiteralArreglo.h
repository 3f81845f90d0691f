#pragma once
// PostgreSQL's array text form ("{...}"), one value per element: how a whole
// column of a batch travels as one bound value that the server reads with
// the element type the statement casts it to.
#include <string>
#include <vector>

#include "db/Consulta.h"
#include "db/Valor.h"

namespace varlo::db::pq {

// One element added to an array literal: always quoted, its quotes and
// backslashes escaped, so that braces, commas, blanks, an empty text or the
// word NULL stay the text they are.
void AnadeElemento(std::string& arreglo, const std::string& valor);

// The values as an array literal: NULL (unquoted) for a NULL value, every
// other value in the text its single bound form has (a boolean as
// true/false, which any column that takes one reads the same). Bytes have no
// such form here and a text with a NUL byte is refused, as when bound alone.
std::string LiteralArreglo(const std::vector<Valor>& valores);

// The statement with each "?" marker bound to one column of values as such a
// literal (a batch's held rows: the text casts each to its column's type).
SentenciaSql ConArreglos(const std::string& texto, const std::vector<std::vector<Valor>>& columnas);

}  // namespace varlo::db::pq
