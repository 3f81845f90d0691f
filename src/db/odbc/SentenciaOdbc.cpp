#include "db/odbc/SentenciaOdbc.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "db/TiposAdo.h"
#include "db/odbc/TextoOdbc.h"

namespace varlo::db::odbc {

namespace {
// Size of each piece of a long value, sent or read.
constexpr std::size_t kTrozo = 64 * 1024;
// Above this many characters a text parameter is declared as long text.
constexpr std::size_t kMaxTextoCorto = 4000;

SQLHSTMT H(const ManejadorOdbc& m) {
  return static_cast<SQLHSTMT>(m.get());
}

// The storage a bound parameter points at; it must outlive SQLExecute and
// the pieces sent after it.
struct Parametro {
  std::u16string texto;
  std::int64_t entero = 0;
  double real = 0;
  unsigned char bit = 0;
  SQL_TIMESTAMP_STRUCT fecha{};
  const Bytes* bytes = nullptr;
  SQLLEN indicador = 0;
};
}  // namespace

SentenciaOdbc::SentenciaOdbc(const ManejadorOdbc& conexion, std::string texto, Motor motor,
                             std::chrono::seconds espera)
    : stmt_(ClaseHandle::Sentencia, &conexion),
      texto_(std::move(texto)),
      contexto_("Sentencia: " + texto_),
      motor_(motor) {
  // A driver without statement timeouts may refuse it; nothing else changes.
  (void)SQLSetStmtAttr(H(stmt_), SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(espera.count())), 0);
  std::u16string texto16 = Utf8AUtf16(texto_);
  Comprueba(SQLPrepareW(H(stmt_), reinterpret_cast<SQLWCHAR*>(texto16.data()),
                        static_cast<SQLINTEGER>(texto16.size())));
}

RetornoOdbc SentenciaOdbc::Comprueba(RetornoOdbc rc) const {
  return stmt_.Comprueba(rc, contexto_);
}

void SentenciaOdbc::Cancela() const noexcept {
  (void)SQLCancel(H(stmt_));
}

void SentenciaOdbc::Limpia() noexcept {
  (void)SQLFreeStmt(H(stmt_), SQL_CLOSE);
  (void)SQLFreeStmt(H(stmt_), SQL_RESET_PARAMS);
}

void SentenciaOdbc::FijaMaximo(long maxRegistros) {
  const long maximo = std::max(0L, maxRegistros);
  // Set only when it changes: some drivers send it to the server every time.
  if (maximo == maxRegistros_) return;
  // The rows are also cut while reading, so a driver that refuses the limit
  // only costs rows fetched in vain.
  (void)SQLSetStmtAttr(H(stmt_), SQL_ATTR_MAX_ROWS,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(maximo)), 0);
  maxRegistros_ = maximo;
}

RetornoOdbc SentenciaOdbc::Lanza(const std::vector<Valor>& valores) {
  std::vector<Parametro> parametros(valores.size());  // never resized: bound addresses stay
  // Last to first: a driver that grows its table of bindings to the highest
  // number bound grows it once, not once per marker of a multi-row statement.
  for (std::size_t i = valores.size(); i-- > 0;) {
    Parametro& p = parametros[i];
    const auto numero = static_cast<SQLUSMALLINT>(i + 1);
    SQLSMALLINT tipoC = SQL_C_WCHAR;
    SQLSMALLINT tipoSql = SQL_WVARCHAR;
    SQLULEN tamano = 1;
    SQLSMALLINT decimales = 0;
    SQLPOINTER dato = nullptr;
    SQLLEN largoBuffer = 0;
    const Valor& v = valores[i];
    if (EsNulo(v)) {
      p.indicador = SQL_NULL_DATA;
      // SQL Server will not turn a NULL declared as text into a binary or
      // date column; the parameter's own type avoids that. PostgreSQL takes
      // an untyped NULL anywhere, and a driver that cannot describe keeps text.
      if (motor_ != Motor::PostgreSql) {
        SQLSMALLINT tipo = 0, digitos = 0, nulos = 0;
        SQLULEN columna = 0;
        if (SQL_SUCCEEDED(SQLDescribeParam(H(stmt_), numero, &tipo, &columna, &digitos, &nulos))) {
          tipoC = SQL_C_DEFAULT, tipoSql = tipo, tamano = std::max<SQLULEN>(1, columna),
          decimales = digitos;
        }
      }
    } else if (const auto* s = std::get_if<std::string>(&v)) {
      p.texto = Utf8AUtf16(*s);
      if (p.texto.size() > kMaxTextoCorto) tipoSql = SQL_WLONGVARCHAR;
      tamano = std::max<SQLULEN>(1, p.texto.size());
      dato = p.texto.data();
      largoBuffer = static_cast<SQLLEN>(p.texto.size() * sizeof(SQLWCHAR));
      p.indicador = largoBuffer;
    } else if (const auto* dec = std::get_if<Decimal>(&v)) {
      // the digits as text, declared numeric with their precision and scale
      p.texto = Utf8AUtf16(dec->texto);
      const std::size_t punto = dec->texto.find('.');
      SQLULEN cifras = 0, fraccion = 0;
      for (std::size_t k = 0; k < dec->texto.size(); ++k)
        if (dec->texto[k] >= '0' && dec->texto[k] <= '9') {
          ++cifras;
          if (punto != std::string::npos && k > punto) ++fraccion;
        }
      tipoSql = SQL_NUMERIC;
      tamano = std::max<SQLULEN>(1, cifras);
      decimales = static_cast<SQLSMALLINT>(fraccion);
      dato = p.texto.data();
      largoBuffer = static_cast<SQLLEN>(p.texto.size() * sizeof(SQLWCHAR));
      p.indicador = largoBuffer;
    } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
      p.entero = *n;
      tipoC = SQL_C_SBIGINT, tipoSql = SQL_BIGINT, tamano = 19;
      dato = &p.entero;
    } else if (const auto* d = std::get_if<double>(&v)) {
      p.real = *d;
      tipoC = SQL_C_DOUBLE, tipoSql = SQL_DOUBLE, tamano = 15;
      dato = &p.real;
    } else if (const auto* b = std::get_if<bool>(&v)) {
      p.bit = *b ? 1 : 0;
      tipoC = SQL_C_BIT, tipoSql = SQL_BIT, tamano = 1;
      dato = &p.bit;
    } else if (const auto* f = std::get_if<FechaHora>(&v)) {
      p.fecha.year = static_cast<SQLSMALLINT>(f->anio);
      p.fecha.month = static_cast<SQLUSMALLINT>(f->mes);
      p.fecha.day = static_cast<SQLUSMALLINT>(f->dia);
      p.fecha.hour = static_cast<SQLUSMALLINT>(f->hora);
      p.fecha.minute = static_cast<SQLUSMALLINT>(f->minuto);
      p.fecha.second = static_cast<SQLUSMALLINT>(f->segundo);
      tipoC = SQL_C_TYPE_TIMESTAMP, tipoSql = SQL_TYPE_TIMESTAMP, tamano = 19;
      dato = &p.fecha;
    } else if (const auto* bytes = std::get_if<Bytes>(&v)) {
      // PostgreSQL's driver takes long binary for a large object; bytea is
      // plain binary there.
      tipoC = SQL_C_BINARY;
      tipoSql = motor_ == Motor::PostgreSql ? SQL_VARBINARY : SQL_LONGVARBINARY;
      tamano = std::max<SQLULEN>(1, bytes->size());
      p.bytes = bytes;
      if (bytes->empty()) {
        dato = &p.bit;
        p.indicador = 0;
      } else {
        // Sent in pieces after SQLExecute; the pointer identifies the parameter.
        dato = reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(numero));
        p.indicador = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(bytes->size()));
      }
    }
    Comprueba(SQLBindParameter(H(stmt_), numero, SQL_PARAM_INPUT, tipoC, tipoSql, tamano, decimales,
                               dato, largoBuffer, &p.indicador));
  }

  SQLRETURN rc = Comprueba(SQLExecute(H(stmt_)));
  while (rc == SQL_NEED_DATA) {
    SQLPOINTER marca = nullptr;
    rc = Comprueba(SQLParamData(H(stmt_), &marca));
    if (rc != SQL_NEED_DATA) break;
    const auto numero = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(marca));
    const Bytes& bytes = *parametros.at(numero - 1).bytes;
    for (std::size_t enviado = 0; enviado < bytes.size(); enviado += kTrozo) {
      const std::size_t largo = std::min(kTrozo, bytes.size() - enviado);
      Comprueba(SQLPutData(H(stmt_), const_cast<unsigned char*>(bytes.data() + enviado),
                           static_cast<SQLLEN>(largo)));
    }
  }
  return rc;
}

std::vector<InfoCampo> SentenciaOdbc::DescribeColumnas() {
  SQLSMALLINT columnas = 0;
  Comprueba(SQLNumResultCols(H(stmt_), &columnas));
  std::vector<InfoCampo> campos;
  campos.reserve(static_cast<std::size_t>(std::max<SQLSMALLINT>(columnas, 0)));
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(columnas, 0));
       ++i) {
    std::u16string nombre(256, u'\0');
    SQLSMALLINT largoNombre = 0;
    SQLSMALLINT tipo = 0;
    SQLULEN tamano = 0;
    SQLSMALLINT decimales = 0;
    SQLSMALLINT nulos = 0;
    Comprueba(SQLDescribeColW(H(stmt_), i, reinterpret_cast<SQLWCHAR*>(nombre.data()),
                              static_cast<SQLSMALLINT>(nombre.size()), &largoNombre, &tipo, &tamano,
                              &decimales, &nulos));
    nombre.resize(std::clamp<std::size_t>(largoNombre, 0, nombre.size() - 1));
    ColumnaOdbc c;
    c.nombre = Utf16AUtf8(nombre);
    c.tipoSql = tipo;
    c.tamano = static_cast<unsigned long>(tamano);
    if (motor_ == Motor::PostgreSql) {
      std::u16string tipoNombre(64, u'\0');
      SQLSMALLINT largoTipo = 0;
      Comprueba(SQLColAttributeW(H(stmt_), i, SQL_DESC_TYPE_NAME, tipoNombre.data(),
                                 static_cast<SQLSMALLINT>(tipoNombre.size() * sizeof(SQLWCHAR)),
                                 &largoTipo, nullptr));
      tipoNombre.resize(
          std::clamp<std::size_t>(largoTipo / sizeof(SQLWCHAR), 0, tipoNombre.size() - 1));
      c.nombreTipo = Utf16AUtf8(tipoNombre);
    }
    campos.push_back(InfoDeColumna(c, motor_));
  }
  return campos;
}

std::string SentenciaOdbc::LeeTexto(unsigned short columna, bool& nulo) {
  std::u16string texto;
  trozo_.resize(kTrozo);
  const auto capacidad = static_cast<SQLLEN>(kTrozo);
  const std::size_t enTrozo = kTrozo / sizeof(SQLWCHAR);
  nulo = false;
  for (;;) {
    SQLLEN indicador = 0;
    const SQLRETURN rc =
        Comprueba(SQLGetData(H(stmt_), columna, SQL_C_WCHAR, trozo_.data(), capacidad, &indicador));
    if (rc == SQL_NO_DATA) break;
    if (indicador == SQL_NULL_DATA) {
      nulo = true;
      return {};
    }
    // A piece that filled the buffer ends in the terminator; more follows.
    const bool lleno = indicador == SQL_NO_TOTAL || indicador >= capacidad;
    const std::size_t caracteres =
        lleno ? enTrozo - 1 : static_cast<std::size_t>(indicador) / sizeof(SQLWCHAR);
    const auto inicio = texto.size();
    texto.resize(inicio + caracteres);
    std::memcpy(texto.data() + inicio, trozo_.data(), caracteres * sizeof(char16_t));
    if (!lleno) break;
  }
  return Utf16AUtf8(texto);
}

Bytes SentenciaOdbc::LeeBytes(unsigned short columna, bool& nulo) {
  Bytes bytes;
  trozo_.resize(kTrozo);
  const std::vector<unsigned char>& trozo = trozo_;
  nulo = false;
  for (;;) {
    SQLLEN indicador = 0;
    const SQLRETURN rc = Comprueba(SQLGetData(H(stmt_), columna, SQL_C_BINARY, trozo_.data(),
                                              static_cast<SQLLEN>(trozo.size()), &indicador));
    if (rc == SQL_NO_DATA) break;
    if (indicador == SQL_NULL_DATA) {
      nulo = true;
      return {};
    }
    const bool lleno = indicador == SQL_NO_TOTAL || indicador > static_cast<SQLLEN>(trozo.size());
    const std::size_t largo = lleno ? trozo.size() : static_cast<std::size_t>(indicador);
    bytes.insert(bytes.end(), trozo.begin(), trozo.begin() + static_cast<std::ptrdiff_t>(largo));
    if (!lleno) break;
  }
  return bytes;
}

Valor SentenciaOdbc::LeeValor(unsigned short columna, int tipoAdo) {
  SQLLEN indicador = 0;
  auto lee = [&](SQLSMALLINT tipoC, SQLPOINTER destino, SQLLEN largo) {
    Comprueba(SQLGetData(H(stmt_), columna, tipoC, destino, largo, &indicador));
    return indicador != SQL_NULL_DATA;
  };
  bool nulo = false;
  if (EsTipoEntero(tipoAdo)) {
    std::int64_t n = 0;
    if (lee(SQL_C_SBIGINT, &n, sizeof n)) return n;
  } else if (tipoAdo == adBoolean) {
    unsigned char b = 0;
    if (lee(SQL_C_BIT, &b, sizeof b)) return b != 0;
  } else if (tipoAdo == adSingle || tipoAdo == adDouble) {
    double d = 0;
    if (lee(SQL_C_DOUBLE, &d, sizeof d)) return d;
  } else if (tipoAdo == adNumeric || tipoAdo == adDecimal || tipoAdo == adCurrency) {
    // Read as text so that the driver's own rounding does not apply twice.
    std::string texto = LeeTexto(columna, nulo);
    if (!nulo) {
      double d = 0;
      std::from_chars(texto.data(), texto.data() + texto.size(), d);
      return d;
    }
  } else if (tipoAdo == adDBDate) {
    SQL_DATE_STRUCT f{};
    if (lee(SQL_C_TYPE_DATE, &f, sizeof f)) return FechaHora{f.year, f.month, f.day, 0, 0, 0};
  } else if (tipoAdo == adDBTime) {
    // A time alone sits on the runtime's day zero, as the original runtime kept it.
    SQL_TIME_STRUCT t{};
    if (lee(SQL_C_TYPE_TIME, &t, sizeof t))
      return FechaHora{1899, 12, 30, t.hour, t.minute, t.second};
  } else if (tipoAdo == adDBTimeStamp || tipoAdo == adDate) {
    SQL_TIMESTAMP_STRUCT t{};
    if (lee(SQL_C_TYPE_TIMESTAMP, &t, sizeof t)) {
      return FechaHora{t.year, t.month, t.day, t.hour, t.minute, t.second};
    }
  } else if (EsTipoBinario(tipoAdo)) {
    Bytes b = LeeBytes(columna, nulo);
    if (!nulo) return b;
  } else {
    std::string texto = LeeTexto(columna, nulo);
    if (!nulo) return texto;
  }
  return {};
}

ResultadoConsulta SentenciaOdbc::Consulta(const std::vector<Valor>& parametros, long maxRegistros) {
  struct Cierre {
    SentenciaOdbc* s;
    ~Cierre() { s->Limpia(); }
  } cierre{this};
  Limpia();
  FijaMaximo(maxRegistros);
  // an UPDATE ... RETURNING that changed no row opens no cursor
  if (Lanza(parametros) == SQL_NO_DATA) return {};
  ResultadoConsulta resultado;
  resultado.campos = DescribeColumnas();
  while (maxRegistros <= 0 || static_cast<long>(resultado.filas.size()) < maxRegistros) {
    if (Comprueba(SQLFetch(H(stmt_))) == SQL_NO_DATA) break;
    std::vector<Valor> fila;
    fila.reserve(resultado.campos.size());
    for (std::size_t i = 0; i < resultado.campos.size(); ++i) {
      fila.push_back(LeeValor(static_cast<unsigned short>(i + 1), resultado.campos[i].tipo));
    }
    resultado.filas.push_back(std::move(fila));
  }
  return resultado;
}

long SentenciaOdbc::Ejecuta(const std::vector<Valor>& parametros) {
  struct Cierre {
    SentenciaOdbc* s;
    ~Cierre() { s->Limpia(); }
  } cierre{this};
  Limpia();
  FijaMaximo(0);
  Lanza(parametros);
  SQLLEN filas = 0;
  Comprueba(SQLRowCount(H(stmt_), &filas));
  return filas < 0 ? 0 : static_cast<long>(filas);
}

}  // namespace varlo::db::odbc
