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

// An ASCII digit: what every part of a date value is written with.
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
  // True when all three letters occur.
  bool Completa() const { return InicioAnio > 0 && InicioMes > 0 && InicioDia > 0; }
};

// The year, month and day of a date value as text, and what follows them.
struct PartesFecha {
  // Nothing for a part whose letter the mask lacks (cutting it is error 5).
  std::optional<std::string> anio, mes, dia;
  // After the date: a time of day, or a note. Trimmed.
  std::string resto;
  bool porSeparadores = false;
};

// Cuts a date value with the mask. A value that fits the mask (the mask's
// own characters where it has them, as far as the value goes, and no digit
// right after the mask's last letter) is cut at the mask's places, spaces
// included. Otherwise, when the mask is three letter runs joined by
// separators made of "/", "-" and "." (D/M/YYYY, YYYY-MM-DD, DD.MM.YY) and
// the trimmed value begins with digits and both separators in that order
// ("5/3/2010", "2010-3-5T08:30"), it is cut between the separators, in the
// mask's order; the date ends at the first character that is neither a
// digit nor a separator. Error 13 when such a mask's value begins with a
// date of another length than the mask's written with other separators
// ("5-3-2010" for DD/MM/YYYY). Any other value is cut at the mask's places.
PartesFecha CortaFecha(std::string_view valor, const MascaraFecha& m);

// CortaFecha's parts as views into the value: nothing copied.
struct VistaFecha {
  std::optional<std::string_view> anio, mes, dia;
  std::string_view resto;
  bool porSeparadores = false;
  friend bool operator==(const VistaFecha&, const VistaFecha&) = default;
};
VistaFecha CortaFechaVista(std::string_view valor, const MascaraFecha& m);

// The usual value, cut without the general rules: its first bytes are the
// mask's (ASCII only), a digit wherever the mask has a letter, every part
// inside them, and what follows neither lengthens the date nor belongs to
// its last character. Nothing for any other value. Where it answers, it
// answers as CortaFechaGeneral would.
std::optional<VistaFecha> CortaFechaExacta(std::string_view valor, const MascaraFecha& m);
// The cut by the general rules alone (what the shortcut must agree with).
VistaFecha CortaFechaGeneral(std::string_view valor, const MascaraFecha& m);

// A date whose text has the mask's exact shape: a digit wherever the mask
// has Y, M or D and the mask's own character everywhere else, optionally
// followed by a space and a time of day (LeeHoraDelDia). The day must exist,
// nothing carries over (error 5 "Fecha inexistente" otherwise); a year of
// one or two digits goes through the 1930-2029 window. Nothing when the text
// has another shape, names no real time, or the mask lacks one of its letters.
std::optional<FechaHora> FechaConFormaDeMascara(std::string_view valor, const MascaraFecha& m);

// The characters of `valor` from `inicio` (from 1) for `largo` characters,
// counted in characters, not bytes; fewer or none where the value ends.
// A start below 1 is error 5.
std::string ParteTexto(std::string_view valor, int inicio, int largo);

// Number of characters (code points) of a UTF-8 text.
std::size_t LargoEnCaracteres(std::string_view texto);

}  // namespace varlo
