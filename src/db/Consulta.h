#pragma once
// A query built from structured parts; each dialect renders it. Names are
// kept as the definitions file writes them (square brackets included) and
// the dialect turns them into its own quoting.
#include <string>
#include <utility>
#include <vector>

#include "db/Valor.h"

namespace varlo::db {

// How a key value is compared: as quoted text, as a bare number, as a date
// or as a date and time literal.
enum class ClaseLiteral { Texto, Numero, Fecha, FechaHora };

// Whether conditions of those classes compare alike: a date with a time or
// without one is compared as a date and time either way.
inline bool MismaClase(ClaseLiteral a, ClaseLiteral b) {
  const auto fecha = [](ClaseLiteral c) {
    return c == ClaseLiteral::Fecha || c == ClaseLiteral::FechaHora;
  };
  return a == b || (fecha(a) && fecha(b));
}

struct Predicado {
  std::string columna;  // as written, e.g. "ID_Empleado" or "[Key]"
  ClaseLiteral clase = ClaseLiteral::Texto;
  // Texto: the text; Numero: the number's text as given (validated by the
  // dialect, error 13 when it is not a number); Fecha/FechaHora: FechaHora.
  Valor valor;
  std::string igual = "=";  // the text between column and literal, e.g. " = "
};

struct Consulta {
  std::string select = "select ";      // the keyword as the system writes it ("Select ")
  int top = -1;                        // "top n " after the keyword (LIMIT n elsewhere); -1 none
  std::vector<std::string> columnas;   // empty: "*"
  std::string from = " from ";         // " From " in some statements
  std::string tabla;                   // as written
  std::string where = " Where ";       // the word before the first condition
  std::vector<Predicado> condiciones;  // joined with " and "
};

// "Select <columns> From <table> Where <column>='<value>'": the lookups by
// one text key that the system writes in this form.
inline Consulta BuscaPorTexto(std::string tabla, std::vector<std::string> columnas,
                              std::string columna, std::string valor) {
  Consulta c;
  c.select = "Select ";
  c.columnas = std::move(columnas);
  c.from = " From ";
  c.tabla = std::move(tabla);
  c.where = " Where ";
  c.condiciones.push_back({std::move(columna), ClaseLiteral::Texto, std::move(valor), "="});
  return c;
}

// A statement ready for the driver: its text and the values bound to its
// "?" markers, in order.
struct SentenciaSql {
  std::string texto;
  std::vector<Valor> parametros;
  // The lookup of many keys at once, which the server must read by the
  // key's index whatever its statistics say.
  bool variasLlaves = false;
};

// The change of one row found by its locator, that may be written later
// together with others.
struct ActualizacionDiferible {
  std::string tabla;
  std::vector<std::pair<std::string, Valor>> valores;
  std::vector<int> tipos;  // ADO type of each value's column
  std::vector<Predicado> condiciones;
  std::vector<Valor> localizador;
};

}  // namespace varlo::db
