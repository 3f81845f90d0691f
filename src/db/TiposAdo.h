#pragma once
// The ADO data-type codes (DataTypeEnum) that the engines decide on.
namespace varlo::db {

enum TipoAdo : int {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBoolean = 11,
  adDecimal = 14,
  adTinyInt = 16,
  adBigInt = 20,
  adGUID = 72,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

inline bool EsTipoTexto(int t) {
  return t == adChar || t == adWChar || t == adVarChar || t == adLongVarChar || t == adVarWChar ||
         t == adLongVarWChar;
}
inline bool EsTipoFecha(int t) {
  return t == adDate || t == adDBDate || t == adDBTime || t == adDBTimeStamp;
}
inline bool EsTipoEntero(int t) {
  return t == adSmallInt || t == adInteger || t == adTinyInt || t == adBigInt;
}
inline bool EsTipoNumerico(int t) {
  return EsTipoEntero(t) || t == adSingle || t == adDouble || t == adCurrency || t == adDecimal ||
         t == adNumeric;
}
inline bool EsTipoBinario(int t) {
  return t == adBinary || t == adVarBinary || t == adLongVarBinary;
}

}  // namespace varlo::db
