#pragma once
// Writing one record into the row its lookup found (or a new row): each
// value by the column's ADO type, the hierarchy levels, the photograph, then
// the update. What went wrong comes back as the record's rejections, each
// with the column it concerns; the record is imported when there is none.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Fechas.h"
#include "import/DefinicionTabla.h"
#include "import/FotoRegistro.h"
#include "import/Jerarquia.h"
#include "import/ResultadosTabla.h"

namespace varlo {

// A boolean column's value: a number is false only when it is 0; any other
// text is false when it starts with F or N (either case), true otherwise.
bool ValorBooleano(std::string_view valor);

// The date of a value cut with the mask (CortaFecha): nothing when its month
// or day is 0 or not a number (the column keeps its value). Error 5 for a
// missing mask letter or a day that does not exist (31/02, month 13: nothing
// carries over), 13 for a part that is not a number, 6 for one beyond 16
// bits. Years 0..99 go through the 1930-2029 window.
std::optional<FechaHora> FechaDeMascara(const std::string& valor, const MascaraFecha& m);

// FechaDeMascara with the time of day written after the date, trimmed, with
// an optional "T" ("25/12/2005 2:30:00 p.m.", "2010-03-15T08:30:00").
// Midnight when what follows does not begin with a digit (a note); error 13
// for a time that cannot be read, which is never dropped.
std::optional<FechaHora> FechaYHoraDeMascara(const std::string& valor, const MascaraFecha& m);

struct ResultadoRegistro {
  std::vector<Rechazo> rechazos;
  bool agregado = false;  // a new row (else the row the lookup found)
  bool Importado() const { return rechazos.empty(); }
  bool Rechazado() const { return !Importado(); }
  // a rejected record wrote nothing else
  ResultadoRegistro SoloRechazos() && { return std::move(*this); }
};

class EscrituraRegistro {
 public:
  EscrituraRegistro(const DefinicionTabla& d, db::Conexion& cn, cls_ADODBServices& imagenes);

  // Writes the record's values (one per column, as split) into `rs`, which holds
  // the lookup of this record. An abandoned record leaves its change pending
  // in `rs`; the caller cancels it.
  ResultadoRegistro Escribe(db::Recordset& rs, const std::vector<std::string>& valores);
  // The fields besides the keys whose values a record reads from its row
  // (the hierarchy unit), known once a record was written.
  const std::vector<int>& CamposLeidos() const noexcept { return leidos_; }

 private:
  // Field positions are the same for every lookup of the table: taken once.
  void Prepara(const db::Recordset& rs);
  void EscribeColumna(db::Recordset& rs, std::size_t columna, const std::string& valor);

  const DefinicionTabla& d_;
  db::Conexion& cn_;
  cls_ADODBServices& imagenes_;
  std::vector<int> indices_;  // per column; -1 not written, -2 not in the select list
  std::vector<int> tipos_;
  int indiceJerarquia_ = -2;
  std::vector<int> indicesNivel_;
  std::vector<int> leidos_;
  RecorridosJerarquia recorridos_;
  ArchivosFotos fotos_;
  std::string texto_;  // a trimmed text value on its way to the row
};

}  // namespace varlo
