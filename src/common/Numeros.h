#pragma once
// Number reading and conversion with the original runtime's rules: a number
// is read from the start of a text, halves round to the even neighbour, and a
// value outside a 16- or 32-bit range is overflow (error 6).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varlo {

// The numeric value of the leading number of a text: blanks (spaces, TABs,
// line feeds) are skipped anywhere inside it, an optional sign, digits, an
// optional "." fraction and an optional exponent (E or D). Text that does not
// begin with a number reads as 0. The decimal separator is always ".".
double LeeNumero(std::string_view texto);

// The value of the whole text as a number (blanks at both ends allowed), or
// nothing when any other character is left over or no digit is present.
std::optional<double> NumeroEstricto(std::string_view texto);

// Rounds to the nearest whole number, a half going to the even neighbour.
double RedondeaPar(double valor);

// The whole number nearest a plain decimal text (spaces at both ends, a
// sign, digits, a "." fraction), as text: "1500.00" gives "1500", halves go
// to the even neighbour ("2.5" gives "2", "-3.5" gives "-4"). Rounded on the
// digits themselves, so a long number loses nothing. Any other text comes
// back trimmed, unchanged.
std::string RedondeaDecimal(std::string_view texto);

// Round half to even, then check the range; outside it raises error 6.
std::int16_t AEntero16(double valor);
std::int32_t AEntero32(double valor);

// Largest whole number not greater than the value, as 16 bits (error 6).
std::int16_t TruncaEntero16(double valor);

// 16-bit addition that raises error 6 when it passes the range.
std::int16_t Suma16(std::int16_t a, std::int32_t b);

}  // namespace varlo
