#include "db/sqlite/TiposSQLite.h"

#include <cstdlib>
#include <string>

#include "common/Texto.h"
#include "db/TiposAdo.h"

namespace varlo::db {

namespace {

constexpr long kSinLimite = 2147483647;

bool Contiene(const std::string& s, std::string_view parte) {
  return s.find(parte) != std::string::npos;
}

}  // namespace

bool TipoDeclarado(std::string_view declarado, InfoCampo& campo) {
  std::string d = Mayusculas(Recorta(declarado));
  if (d.empty()) return false;
  std::string nombre = d, argumento;
  if (std::size_t p = d.find('('); p != std::string::npos) {
    nombre = Recorta(d.substr(0, p));
    std::size_t q = d.find_first_of(",)", p);
    argumento = Recorta(d.substr(p + 1, q == std::string::npos ? std::string::npos : q - p - 1));
  }
  bool maximo = argumento == "MAX";
  long tamano = argumento.empty() || maximo ? kSinLimite : std::atol(argumento.c_str());
  auto fija = [&campo](int tipo, long size) {
    campo.tipo = tipo;
    campo.tamanoDefinido = size;
    return true;
  };

  if (nombre == "CHAR" || nombre == "CHARACTER")
    return fija(adChar, argumento.empty() ? 1 : tamano);
  if (nombre == "NCHAR") return fija(adWChar, argumento.empty() ? 1 : tamano);
  if (nombre == "VARCHAR" || nombre == "CHARACTER VARYING")
    return fija(maximo ? adLongVarChar : adVarChar, tamano);
  if (nombre == "NVARCHAR") return fija(maximo ? adLongVarWChar : adVarWChar, tamano);
  if (nombre == "TEXT" || nombre == "CLOB") return fija(adVarChar, tamano);
  if (nombre == "NTEXT") return fija(adLongVarWChar, 1073741823);
  if (nombre == "INT" || nombre == "INTEGER") return fija(adInteger, 4);
  if (nombre == "SMALLINT") return fija(adSmallInt, 2);
  if (nombre == "TINYINT") return fija(adTinyInt, 1);
  if (nombre == "BIGINT") return fija(adBigInt, 8);
  if (nombre == "BIT" || nombre == "BOOLEAN" || nombre == "BOOL") return fija(adBoolean, 2);
  if (nombre == "REAL" || nombre == "FLOAT" || nombre == "DOUBLE" || nombre == "DOUBLE PRECISION")
    return fija(adDouble, 8);
  if (nombre == "MONEY" || nombre == "SMALLMONEY") return fija(adCurrency, 8);
  if (nombre == "DECIMAL" || nombre == "NUMERIC") return fija(adNumeric, 19);
  if (nombre == "DATETIME" || nombre == "TIMESTAMP" || nombre == "SMALLDATETIME" ||
      nombre == "DATETIME2")
    return fija(adDBTimeStamp, 16);
  if (nombre == "DATE") return fija(adDBDate, 6);
  if (nombre == "TIME") return fija(adDBTime, 6);
  if (nombre == "BLOB" || nombre == "IMAGE" || nombre == "BYTEA")
    return fija(adLongVarBinary, kSinLimite);
  if (nombre == "VARBINARY")
    return fija(maximo || argumento.empty() ? adLongVarBinary : adVarBinary, tamano);
  if (nombre == "BINARY") return fija(adBinary, argumento.empty() ? 1 : tamano);
  if (nombre == "UNIQUEIDENTIFIER") return fija(adGUID, 16);

  // any other name, by SQLite's own affinity rules
  if (Contiene(nombre, "INT")) return fija(adBigInt, 8);
  if (Contiene(nombre, "CHAR") || Contiene(nombre, "CLOB") || Contiene(nombre, "TEXT"))
    return fija(adVarChar, tamano);
  if (Contiene(nombre, "BLOB")) return fija(adLongVarBinary, kSinLimite);
  if (Contiene(nombre, "REAL") || Contiene(nombre, "FLOA") || Contiene(nombre, "DOUB"))
    return fija(adDouble, 8);
  return fija(adNumeric, 19);
}

}  // namespace varlo::db
