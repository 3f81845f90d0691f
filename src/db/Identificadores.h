#pragma once
// Names of tables and columns as the definitions file writes them. They
// reach SQL text, so each one is checked before any dialect quotes it: a
// name is a plain identifier or a name in square brackets, never SQL.
#include <string>
#include <string_view>
#include <vector>

namespace varlo::db {

// A plain name: letters (accented Latin letters included), digits, "_",
// "$" and "#", not starting with a digit or "$". A name in square brackets
// ("[Fecha Alta]") may hold anything but "]" and control characters.
bool EsIdentificadorValido(std::string_view comoEscrito);

// Raises errores::ArgumentoNoValido ("Nombre no válido: ...") for a name
// that is not valid.
void ExigeIdentificador(std::string_view comoEscrito);

// The parts of a table name as written: one, or a schema and a table
// separated by a "." outside brackets ("rrhh.Empleado", "[rrhh].[Empleado]"),
// each without its brackets. errores::ArgumentoNoValido when a part is not
// a valid name or there are more than two.
std::vector<std::string> PartesNombre(std::string_view comoEscrito);

// The name a table gives its files (result files, default source, picture
// folders): the name as written when it has one part; for "schema.table",
// the table part, a ".", then the schema ("Empleado.rrhh"), brackets
// dropped, so that two schemas never share a file. Anything that is not a
// name is returned as written.
std::string NombreDeArchivos(const std::string& tabla);

// A plain name of ASCII letters, digits and "_" that does not start with a
// digit: every database takes it unquoted.
bool EsNombreSimple(std::string_view nombre);

// A name the database reported, written as the definitions file would
// write it: as it is when plain, otherwise in square brackets.
std::string ComoEscrito(const std::string& nombre);

}  // namespace varlo::db
