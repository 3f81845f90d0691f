#pragma once
// Writing one record into the row its lookup found (or a new row): each
// value by the column's ADO type, the hierarchy levels, the photograph, then
// the update. What went wrong comes back as the record's rejections, each
// with the column it concerns; the record is imported when there is none.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/ConversionColumnas.h"
#include "import/DefinicionTabla.h"
#include "import/FotoRegistro.h"
#include "import/Jerarquia.h"
#include "import/ResultadosTabla.h"

namespace varlo {
class cls_ADODBServices;
namespace db {
class Conexion;
class Recordset;
}  // namespace db

struct ResultadoRegistro {
  std::vector<Rechazo> rechazos;
  bool agregado = false;  // a new row (else the row the lookup found)
  bool Importado() const { return rechazos.empty(); }
};

class EscrituraRegistro {
 public:
  EscrituraRegistro(const DefinicionTabla& d, db::Conexion& cn, cls_ADODBServices& imagenes);

  // Writes the record's values (indices 0..Columnas-1) into `rs`, which holds
  // the lookup of this record. An abandoned record leaves its change pending
  // in `rs`; the caller cancels it. `convertidos`: the values as the reader
  // converted them (Conversion), taken from there where they hold.
  ResultadoRegistro Escribe(db::Recordset& rs, const std::vector<std::string>& valores,
                            std::vector<ValorConvertido>* convertidos = nullptr);

  const ConversionColumnas& Conversion() const { return conversion_; }

 private:
  // Field positions are the same for every lookup of the table: taken once.
  void Prepara(const db::Recordset& rs);
  int Indice(const db::Recordset& rs, std::size_t columna) const;
  // Source column of the key field "NombreIndice" names (0 for a compound key).
  std::int32_t ColumnaLlave() const;
  void EscribeColumna(db::Recordset& rs, std::size_t columna, const std::string& valor,
                      ValorConvertido* convertido);

  const DefinicionTabla& d_;
  db::Conexion& cn_;
  cls_ADODBServices& imagenes_;
  ConversionColumnas conversion_;
  bool preparada_ = false;
  std::vector<int> indices_;  // per column; -1 not written, -2 not in the select list
  std::vector<int> tipos_;
  int indiceJerarquia_ = -2;
  std::vector<int> indicesNivel_;
  RecorridosJerarquia recorridos_;
  ArchivosFotos fotos_;
};

}  // namespace varlo
