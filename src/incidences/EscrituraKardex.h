#pragma once
// Writes one day of one absence-planning record into Kardex: finds the row
// of that employee and day, adds it when there is none, writes the record's
// non-empty values and reports the day in the result files. Failures after
// the row set is open are the record's, written to the error file and
// remembered: a positive number (a value the layer refuses) abandons the
// record's remaining days, a negative one (the database refused) lets the day
// go on without its Ok line, unless the refusal ended the transaction (the
// remaining days are abandoned). Failures of the lookup itself end the run.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Fechas.h"
#include "db/Conexion.h"
#include "db/Consulta.h"
#include "db/Recordset.h"
#include "import/BusquedasDelLote.h"
#include "incidences/DefinicionIncidencias.h"
#include "incidences/ResultadosIncidencias.h"

namespace varlo {

class EscrituraKardex {
 public:
  enum class Resultado { DiaHecho, RegistroAbandonado };

  EscrituraKardex(const DefinicionIncidencias& d, db::Conexion& cnBaseDatos,
                  ResultadosIncidencias& resultados);
  // Closes a row set left open by an abandoned record without writing it.
  ~EscrituraKardex();

  Resultado EscribeDia(const std::string& linea, const std::vector<std::string>& valores,
                       const FechaHora& dia);
  // Whether the connection reads the lookups of many days in one query.
  bool BuscaPorLotes() const { return cn_.AnticipaBusquedas(consulta_); }
  // Reads the lookups of the days that come next, each an employee and a
  // day (key after key), in as few queries as the database allows.
  void Anticipa(const std::vector<db::Valor>& llaves) { busquedas_.Busca(cn_, consulta_, llaves); }
  // Whether the last day written was not among those read ahead.
  bool DiaNoAnticipado() const { return busquedas_.Desconocida(); }
  // Says the first time those lookups could not be read together.
  void AvisaFallas(std::function<void(const std::string&)> aviso) {
    busquedas_.AvisaFallas(std::move(aviso));
  }

  // The one-row lookup of an employee and day: the select list of the
  // definition, keyed by "Id_Empleado" as text and "Fecha" as a date.
  static db::Consulta ConsultaDia(const DefinicionIncidencias& d, const std::string& empleado,
                                  const FechaHora& dia);

  long NumeroError() const { return NumeroError_; }
  // Kardex rows this writer added so far (the summary's count).
  long DiasAgregados() const { return DiasAgregados_; }

 private:
  const DefinicionIncidencias& d_;
  db::Conexion& cn_;
  ResultadosIncidencias& resultados_;
  db::Consulta consulta_;
  // The columns a day writes, in order, each with whether it is the date
  // column, which takes the day of the range instead of its value.
  std::vector<std::pair<int, bool>> escritas_;
  std::unique_ptr<db::Recordset> rsKardex_;
  BusquedasDelLote busquedas_;
  long NumeroError_ = 0;
  long DiasAgregados_ = 0;
};

}  // namespace varlo
