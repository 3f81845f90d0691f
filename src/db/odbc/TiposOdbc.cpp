#include "db/odbc/TiposOdbc.h"

#include <sql.h>
#include <sqlext.h>

#include "common/Texto.h"
#include "db/TiposAdo.h"

namespace varlo::db::odbc {

namespace {
constexpr long kTamanoLargo = 2147483647;       // text, image, varchar(max), bytea
constexpr long kTamanoLargoAncho = 1073741823;  // ntext, nvarchar(max)
// Beyond this a variable column is a long one, as the original provider saw it.
constexpr unsigned long kMaxCorto = 8000;

int TipoAdoDe(const ColumnaOdbc& c, Motor motor) {
  const bool largo = c.tamano == 0 || c.tamano > kMaxCorto;
  if (motor == Motor::PostgreSql) {
    // Booleans and bytea keep their meaning whatever BoolsAsChar or
    // ByteaAsLongVarBinary say.
    if (IgualSinCaso(c.nombreTipo, "bool")) return adBoolean;
    if (IgualSinCaso(c.nombreTipo, "bytea")) return adLongVarBinary;
    switch (c.tipoSql) {
      case SQL_WCHAR:
        return adChar;
      case SQL_WVARCHAR:
        return largo ? adLongVarChar : adVarChar;
      case SQL_WLONGVARCHAR:
        return adLongVarChar;
      default:
        break;
    }
  }
  switch (c.tipoSql) {
    case SQL_CHAR:
      return adChar;
    case SQL_VARCHAR:
      return largo ? adLongVarChar : adVarChar;
    case SQL_LONGVARCHAR:
      return adLongVarChar;
    case SQL_WCHAR:
      return adWChar;
    case SQL_WVARCHAR:
      return largo ? adLongVarWChar : adVarWChar;
    case SQL_WLONGVARCHAR:
      return adLongVarWChar;
    case SQL_INTEGER:
      return adInteger;
    case SQL_SMALLINT:
      return adSmallInt;
    case SQL_TINYINT:
      return adTinyInt;
    case SQL_BIGINT:
      return adBigInt;
    case SQL_BIT:
      return adBoolean;
    case SQL_REAL:
      return adSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return adDouble;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return adNumeric;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      return adDBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      return adDBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return adDBTimeStamp;
    case SQL_BINARY:
      return adBinary;
    case SQL_VARBINARY:
      return largo ? adLongVarBinary : adVarBinary;
    case SQL_LONGVARBINARY:
      return adLongVarBinary;
    case SQL_GUID:
      return adGUID;
    default:
      return adVarWChar;  // anything else is read as text
  }
}

long TamanoDe(int tipo, unsigned long tamano) {
  switch (tipo) {
    case adChar:
    case adWChar:
    case adVarChar:
    case adVarWChar:
    case adBinary:
    case adVarBinary:
      return static_cast<long>(tamano);
    case adLongVarChar:
    case adLongVarBinary:
      return kTamanoLargo;
    case adLongVarWChar:
      return kTamanoLargoAncho;
    case adTinyInt:
      return 1;
    case adSmallInt:
      return 2;
    case adBoolean:
      return 2;
    case adInteger:
    case adSingle:
      return 4;
    case adBigInt:
    case adDouble:
      return 8;
    case adNumeric:
      return 19;
    case adDBDate:
    case adDBTime:
      return 6;
    case adDBTimeStamp:
    case adGUID:
      return 16;
    default:
      return static_cast<long>(tamano);
  }
}
}  // namespace

InfoCampo InfoDeColumna(const ColumnaOdbc& c, Motor motor) {
  InfoCampo info;
  info.nombre = c.nombre;
  info.tipo = TipoAdoDe(c, motor);
  info.tamanoDefinido = TamanoDe(info.tipo, c.tamano);
  return info;
}

}  // namespace varlo::db::odbc
