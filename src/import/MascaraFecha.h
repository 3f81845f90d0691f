#pragma once
// The date mask ("FormatoFecha"): the letters Y, M and D, in either case,
// mark where year, month and day stand in a date value; each part runs from
// the first to the last occurrence of its letter.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/Fechas.h"

namespace varlo {

// An ASCII digit, what every part of a date is written with.
inline bool EsCifra(char c) {
  return c >= '0' && c <= '9';
}

struct MascaraFecha {
  std::string Texto;  // as the definitions file writes it
  std::int16_t InicioAnio = 0, LargoAnio = 1;
  std::int16_t InicioMes = 0, LargoMes = 1;
  std::int16_t InicioDia = 0, LargoDia = 1;

  // A letter that does not occur gives start 0 and length 1.
  static MascaraFecha Desde(std::string_view mascara);
  bool Completa() const { return InicioAnio > 0 && InicioMes > 0 && InicioDia > 0; }
};

// The year, month and day of a date value, and what follows them, as views
// into the value.
struct VistaFecha {
  // Nothing for a part whose letter the mask lacks (cutting it is error 5).
  std::optional<std::string_view> anio, mes, dia;
  std::string_view resto;  // after the date (a time of day, a note), trimmed
  bool porSeparadores = false;
  friend bool operator==(const VistaFecha&, const VistaFecha&) = default;
};

// Cuts a date value with the mask. A value that fits it (the mask's own
// characters where it has them, as far as the value goes, and no digit right
// after its last letter) is cut at the mask's places. Otherwise, when the
// mask is three letter runs joined by "/", "-" or "." (D/M/YYYY, DD.MM.YY)
// and the trimmed value begins with digits and both separators in that order
// ("5/3/2010", "2010-3-5T08:30"), it is cut between the separators; the date
// ends at the first character that is neither. Error 13 when such a mask's
// value begins with a date of another length written with other separators
// ("5-3-2010" for DD/MM/YYYY). Any other value is cut at the mask's places.
VistaFecha CortaFecha(std::string_view valor, const MascaraFecha& m);

// The usual value cut fast, answering as CortaFechaGeneral would: its first
// bytes are the (ASCII) mask's, with a digit wherever the mask has a letter,
// and what follows neither lengthens the date nor joins its last character.
// Nothing for any other value.
std::optional<VistaFecha> CortaFechaExacta(std::string_view valor, const MascaraFecha& m);
// The cut by the general rules alone (what the shortcut must agree with).
VistaFecha CortaFechaGeneral(std::string_view valor, const MascaraFecha& m);

// A date with the mask's exact shape (a digit for each Y, M or D, the mask's
// own character elsewhere), then optionally a space and a time of day. The
// day must exist (error 5 "Fecha inexistente"); a year of one or two digits
// goes through the 1930-2029 window. Nothing for another shape, a time that
// is none, or a mask lacking one of its letters.
std::optional<FechaHora> FechaConFormaDeMascara(std::string_view valor, const MascaraFecha& m);

// `largo` characters (not bytes) of `valor` from character `inicio` (from 1;
// below 1 is error 5), fewer or none where the value ends.
std::string ParteTexto(std::string_view valor, int inicio, int largo);

// Number of characters (code points) of a UTF-8 text.
std::size_t LargoEnCaracteres(std::string_view texto);

}  // namespace varlo
