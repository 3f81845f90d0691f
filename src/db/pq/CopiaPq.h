#pragma once
// What COPY ... FROM STDIN sends in its text format: the command naming the
// table and its columns, and the rows, one line each, fields separated by a
// tab. The protocol that carries them is the connection's.
#include <string>
#include <vector>

#include "db/Valor.h"

namespace varlo::db::pq {

// "copy T (a, b) from stdin"; names already in the dialect's quoting.
std::string OrdenCopia(const std::string& tablaSql, const std::vector<std::string>& columnasSql);

// The rows as COPY's text data: \N for NULL, a backslash before the
// characters that would end a field or a row, bytes in bytea's hex form. A
// text with a NUL byte, which PostgreSQL cannot store, is refused (a negative
// number, class Otro), before anything is sent.
std::string DatosCopia(const std::vector<std::vector<Valor>>& filas);

}  // namespace varlo::db::pq
