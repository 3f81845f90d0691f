#pragma once
// The statements come with "?" markers (the form ODBC and SQLite take);
// libpq takes them numbered, "$1", "$2"... in the order they appear.
#include <string>

namespace varlo::db::pq {

// The text with each "?" marker numbered. A "?" inside a quoted literal
// ('...', E'...', $tag$...$tag$), a quoted name ("...") or a comment is text,
// not a marker, and stays as it is.
std::string NumeraMarcas(const std::string& sql);

}  // namespace varlo::db::pq
