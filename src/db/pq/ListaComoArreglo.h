#pragma once
// The lookup of a batch's keys, "... key in (?, ?, ..., ?)", as
// "... key = any(?)" with the keys in one array value: one text whatever the
// number of keys, prepared once and run again by name, instead of a new text
// (parsed and planned anew) for each count of keys. The two forms compare
// the same values by the same operator.
#include <optional>
#include <string>
#include <vector>

#include "db/pq/TiposPq.h"

namespace varlo::db::pq {

struct ListaComoArreglo {
  std::string texto;  // still with its "?" marker
  Parametro arreglo;  // the keys as one array literal
};

// Nothing unless the text ends with such a list holding every value bound,
// and the values are of one type an array can carry in its text form (not
// NULL, not bytes): each key then reaches the server as it would alone.
std::optional<ListaComoArreglo> ComoArreglo(const std::string& sql,
                                            const std::vector<Parametro>& parametros);

}  // namespace varlo::db::pq
