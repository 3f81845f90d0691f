#pragma once
// The rows of a batch as one JSON text, for PostgreSQL's json_to_recordset:
// one parameter for a whole multi-row statement instead of one per value,
// which the ODBC driver would otherwise turn into text one at a time.
#include <string>
#include <string_view>

#include "db/Valor.h"

namespace varlo::db {

// The type json_to_recordset gives a column of such values ("text",
// "bigint", "double precision", "boolean", "timestamp", "numeric"); empty for NULL and
// for bytes, which have no JSON form here.
std::string_view TipoJson(const Valor& v);

// Appends the value in JSON: a string, a number (shortest form that reads
// back the same), true/false, null; a date as "YYYY-MM-DD HH:MM:SS".
void AnadeJson(std::string& json, const Valor& v);

}  // namespace varlo::db
