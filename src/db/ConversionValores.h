#pragma once
// Conversion of an assigned value to the type of its column, refusing what
// SQL Server refuses: a non-number for a number column, a value out of the
// type's range (error 6), text longer than a CHAR/VARCHAR column (error
// 8152), a date that does not parse (error 13). Shared by every backend, so
// a value is refused the same way whatever database receives it.
//
// Accepted texts: numbers with "." as the decimal separator and blanks at
// both ends (integer columns take whole numbers only; an exponent only for
// float columns); dates as "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" or
// "HH:MM[:SS]"; booleans as "True"/"False" (any case) or any number (not
// zero is true).
#include <cstddef>
#include <string>
#include <string_view>

#include "db/Recordset.h"
#include "db/Valor.h"

namespace varlo::db {

Valor ConvierteTexto(const InfoCampo& campo, const std::string& texto);
Valor ConvierteValor(const InfoCampo& campo, const Valor& valor);

// True when the text, blanks at both ends allowed, is a plain decimal
// number: optional sign, digits, optionally a "." fraction and, when
// `exponente`, an E exponent. Nothing else can appear in it.
bool EsNumeroDecimal(std::string_view texto, bool fraccion, bool exponente);

// Refuses (error 8152) a value of that many bytes, or characters for text,
// that a BINARY/VARBINARY or CHAR/VARCHAR column of fixed size cannot hold.
void CompruebaLargo(const InfoCampo& campo, std::size_t bytes, std::size_t caracteres);

// Characters of a UTF-8 text (what a CHAR/VARCHAR size counts).
std::size_t CuentaCaracteres(std::string_view utf8);

}  // namespace varlo::db
