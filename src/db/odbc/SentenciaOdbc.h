#pragma once
// One prepared statement of a connection: kept by the connection for its SQL
// text and run again with new parameter values.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "db/Backend.h"
#include "db/odbc/ManejadorOdbc.h"
#include "db/odbc/TiposOdbc.h"

namespace varlo::db::odbc {

class SentenciaOdbc {
 public:
  // Prepares `texto` on the connection handle; a run of it longer than
  // `espera` is cancelled.
  SentenciaOdbc(const ManejadorOdbc& conexion, std::string texto, Motor motor,
                std::chrono::seconds espera);

  // Runs the query and reads at most `maxRegistros` rows (0: all); the
  // cursor is closed again before returning.
  ResultadoConsulta Consulta(const std::vector<Valor>& parametros, long maxRegistros);
  // Runs the statement; rows affected (0 when the driver cannot tell).
  long Ejecuta(const std::vector<Valor>& parametros);

  const std::string& Texto() const noexcept { return texto_; }
  // Asks the driver to stop the call running on this statement; made from
  // another thread while that call waits.
  void Cancela() const noexcept;

 private:
  void FijaMaximo(long maxRegistros);
  // Binds the values and runs the statement; SQL_NO_DATA when a change reached no row.
  RetornoOdbc Lanza(const std::vector<Valor>& parametros);
  std::vector<InfoCampo> DescribeColumnas();
  // Binds the columns whose values a buffer of their declared size holds.
  void EnlazaColumnas(const std::vector<InfoCampo>& campos);
  Valor LeeValor(unsigned short columna, int tipoAdo);
  // The value of a bound column from its buffer; one that did not fit is read whole.
  Valor ValorEnlazado(unsigned short columna, int tipoAdo);
  std::string LeeTexto(unsigned short columna, bool& nulo);
  Bytes LeeBytes(unsigned short columna, bool& nulo);
  void Limpia() noexcept;
  // Checks a call made on the statement; the SQL text goes in the message.
  RetornoOdbc Comprueba(RetornoOdbc rc) const;

  ManejadorOdbc stmt_;
  std::string texto_;
  std::string contexto_;
  Motor motor_;
  long maxRegistros_ = 0;  // SQL_ATTR_MAX_ROWS as last set (0: no limit, the default)
  // The piece of a long value SQLGetData fills, kept for every value read:
  // allocated (and zeroed) once, not once per value.
  std::vector<unsigned char> trozo_;
  // What SQLGetData allows besides reading unbound columns after the bound ones.
  bool cualquierColumna_ = false;  // unbound columns before a bound one
  bool releeEnlazadas_ = false;    // a bound column read again, whole
  // Each column's size as the driver declared it, from the last description.
  std::vector<unsigned long> tamanos_;
  // A bound column's buffer and indicator; empty buffer: not bound.
  struct Enlace {
    std::vector<unsigned char> buffer;
    std::int64_t indicador = 0;  // the SQLLEN the driver writes
  };
  std::vector<Enlace> enlaces_;
  bool enlazadas_ = false;        // some column bound since the last SQL_UNBIND
  std::u16string textoEnlazado_;  // a bound text's UTF-16, on its way to UTF-8
};

}  // namespace varlo::db::odbc
