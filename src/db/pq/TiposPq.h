#pragma once
// PostgreSQL's types as libpq reports them (type OIDs, text values) and the
// values bound to a statement: the same ADO types and values the ODBC
// path gives for the same columns.
#include <optional>
#include <string>

#include "db/Recordset.h"
#include "db/Valor.h"

namespace varlo::db::pq {

// A column of a result: its name, type OID and type modifier (PQfmod).
InfoCampo InfoDeColumna(const char* nombre, unsigned int oid, int modificador);

// A value in PostgreSQL's text output (ISO dates, "t"/"f", bytea in hex)
// as the column's ADO type reads it.
Valor LeeValor(const char* texto, int largo, int tipoAdo);

// A value bound to a marker: its type OID (0: the server infers it from
// where the marker stands), its text or bytes, and whether it is binary.
struct Parametro {
  unsigned int oid = 0;
  std::string datos;
  bool nulo = false;
  bool binario = false;
};
// A text that holds a NUL byte, which PostgreSQL cannot store, is refused
// (a negative number, class Otro).
Parametro ParametroDe(const Valor& v);

// Appends the text form ParametroDe gives a number, a decimal, a boolean or
// a date ("t"/"f", ISO dates): none holds a character that COPY or an array
// literal must escape. Returns the type OID ParametroDe binds it with; 0,
// with nothing appended, for any other value.
unsigned int AnadeTextoSimple(std::string& destino, const Valor& v);

// The type of an array of values bound with that type OID, as ParametroDe
// gives them (0, untyped: an untyped array, read as an array of whatever its
// place asks for); nothing for a type ParametroDe does not give.
std::optional<unsigned int> OidDeArreglo(unsigned int oid);

}  // namespace varlo::db::pq
