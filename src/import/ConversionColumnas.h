#pragma once
// How a value of the source becomes the value of its column: trimmed, NULL
// when it is the table's "TextoNulo", nothing when it is empty (an empty
// value never clears a column), read with the date mask, as a boolean, or
// converted by the column's type as the database would refuse it.
//
// A record's values are converted on the thread that reads the source,
// against the fields of the table's probe, while the records before it are
// written; the record's writer takes each value as it stands when its field
// is the one it was converted for, and converts it again otherwise.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Fechas.h"
#include "db/Recordset.h"
#include "db/Valor.h"
#include "import/DefinicionTabla.h"
#include "import/MascaraFecha.h"
#include "import/ValorConvertido.h"

namespace varlo {

// A boolean column's value: a number is false only when it is 0; any other
// text is false when it starts with F or N (either case), true otherwise.
bool ValorBooleano(std::string_view valor);

// The date of a value cut with the mask (CortaFecha: at its places, or
// between its separators for a date written without its zeros): nothing
// when its month or day is 0 or not a number (the column keeps its value).
// Error 5 for a mask letter that is missing or a day that does not exist
// (31/02, month 13: nothing carries over), 13 for a part that is not a
// number, 6 for one beyond 16 bits. Years 0..99 go through the 1930-2029
// window.
std::optional<FechaHora> FechaDeMascara(const std::string& valor, const MascaraFecha& m);

// FechaDeMascara with the time of day written after the date ("25/12/2005
// 14:30:00", with or without a.m./p.m., "2010-03-15T08:30:00"): what follows
// the date, trimmed, with an optional "T". Midnight when nothing follows or what follows does not
// begin with a digit (a note after the date); error 13 for a time that
// cannot be read, which is never dropped.
std::optional<FechaHora> FechaYHoraDeMascara(const std::string& valor, const MascaraFecha& m);

class ConversionColumnas {
 public:
  // The table's columns as its probe read them (DefinicionTabla::CamposTabla).
  explicit ConversionColumnas(const DefinicionTabla& d);

  // The value of source column `c` for a field of that type; the refusal
  // of the field (or of a NULL key) is raised.
  ValorConvertido Convierte(std::size_t c, const std::string& bruto, int tipo,
                            const db::InfoCampo& campo) const;

  // Every value of a record against the probe's fields (thread-safe: it
  // changes nothing here). A column the probe does not have is left.
  void ConvierteRegistro(const std::vector<std::string>& valores,
                         std::vector<ValorConvertido>& convertidos) const;

  // Whether what ConvierteRegistro gave column `c` holds for the field the
  // writer found (`tipo` the type its writer decides by).
  bool Vale(std::size_t c, const ValorConvertido& v, int tipo, const db::InfoCampo& campo) const;

 private:
  const DefinicionTabla& d_;
  std::vector<bool> esLlave_;
  // per source column: the probe's field it is written to, or none
  std::vector<const db::InfoCampo*> campos_;
};

}  // namespace varlo
