#include "db/EstadosSql.h"

#include "db/ErroresBD.h"

namespace varlo::db {

long NumeroDeEstado(std::string_view sqlstate) {
  // The HRESULTs the original provider raised for the same situations.
  if (sqlstate.starts_with("23")) return errores_bd::ViolacionIntegridad;
  if (sqlstate.starts_with("28")) return -2147217843;  // login refused
  if (sqlstate.starts_with("42") || sqlstate.starts_with("37")) return errores_bd::ErrorEnComando;
  if (sqlstate == "22001") return -2147217833;         // value too long for the column
  if (sqlstate.starts_with("22")) return -2147217913;  // value cannot be converted
  if (sqlstate == "HYT00" || sqlstate == "HYT01") return -2147217871;  // timeout
  return errores_bd::FalloProveedor;
}

std::string GlosaDeEstado(std::string_view sqlstate) {
  // What an operator should read first; the driver's own text follows.
  if (sqlstate == "28P01" || sqlstate == "28000") return "usuario o contraseña incorrectos";
  if (sqlstate == "08001") return "no se pudo conectar con el servidor";
  if (sqlstate == "3D000") return "la base de datos no existe";
  if (sqlstate == "42P01" || sqlstate == "42S02") return "no existe la tabla";
  if (sqlstate == "42703" || sqlstate == "42S22") return "no existe la columna";
  return "";
}

ErrorBaseDatos::Clase ClaseDeEstado(std::string_view e) {
  // connection exceptions, an administrator's shutdown, a connection timeout
  if (e.starts_with("08") || e == "57P01" || e == "57P02" || e == "57P03" || e == "HYT01")
    return ErrorBaseDatos::Clase::ConexionPerdida;
  // a deadlock victim or a serialization failure: the server rolled the
  // transaction back
  if (e == "40001" || e == "40P01") return ErrorBaseDatos::Clase::TransaccionPerdida;
  // a statement waited out its bound: a lock_timeout (55P03), a cancelled
  // statement (57014)
  if (e == "55P03" || e == "57014") return ErrorBaseDatos::Clase::Bloqueo;
  // the server cannot store anything: disk_full, read_only_sql_transaction
  // (a read-only server or a standby), io_error
  if (e == "53100" || e == "25006" || e == "58030") return ErrorBaseDatos::Clase::Almacenamiento;
  if (e == "23505") return ErrorBaseDatos::Clase::ClaveDuplicada;
  return ErrorBaseDatos::Clase::Otro;
}

std::string MensajeEnUnaLinea(const std::string& texto) {
  std::string linea;
  for (std::size_t i = 0; i < texto.size(); ++i) {
    const char c = texto[i];
    if (c == '\r' || c == '\n' || c == '\t') {
      if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') ++i;
      linea.push_back(' ');
    } else {
      linea.push_back(c);
    }
  }
  while (!linea.empty() && linea.back() == ' ') linea.pop_back();
  return linea;
}

}  // namespace varlo::db
