#include "db/odbc/SentenciaOdbc.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/Codificacion.h"
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

// Above this declared size a column is read with SQLGetData, never bound.
constexpr unsigned long kMaxEnlazado = 4000;
static_assert(sizeof(SQLLEN) == sizeof(std::int64_t), "bound indicators are kept as 64 bits");

// The C type a value of fixed size is read with, and that size; none
// (tipoC 0) for text, numbers read as text and bytes.
struct TipoFijo {
  SQLSMALLINT tipoC = 0;
  std::size_t tamano = 0;
};

TipoFijo FijoDe(int tipoAdo) {
  if (EsTipoEntero(tipoAdo)) return {SQL_C_SBIGINT, sizeof(std::int64_t)};
  if (tipoAdo == adBoolean) return {SQL_C_BIT, 1};
  if (tipoAdo == adSingle || tipoAdo == adDouble) return {SQL_C_DOUBLE, sizeof(double)};
  if (tipoAdo == adDBDate) return {SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT)};
  if (tipoAdo == adDBTime) return {SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT)};
  if (tipoAdo == adDBTimeStamp || tipoAdo == adDate)
    return {SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)};
  return {};
}

// The value a fixed-size type left in `dato` (not NULL).
Valor ValorFijo(int tipoAdo, const unsigned char* dato) {
  if (EsTipoEntero(tipoAdo)) {
    std::int64_t n = 0;
    std::memcpy(&n, dato, sizeof n);
    return n;
  }
  if (tipoAdo == adBoolean) return dato[0] != 0;
  if (tipoAdo == adSingle || tipoAdo == adDouble) {
    double d = 0;
    std::memcpy(&d, dato, sizeof d);
    return d;
  }
  if (tipoAdo == adDBDate) {
    SQL_DATE_STRUCT f{};
    std::memcpy(&f, dato, sizeof f);
    return FechaHora{f.year, f.month, f.day, 0, 0, 0};
  }
  if (tipoAdo == adDBTime) {
    // A time alone sits on the runtime's day zero, as the original runtime kept it.
    SQL_TIME_STRUCT t{};
    std::memcpy(&t, dato, sizeof t);
    return FechaHora{1899, 12, 30, t.hour, t.minute, t.second};
  }
  SQL_TIMESTAMP_STRUCT t{};
  std::memcpy(&t, dato, sizeof t);
  return FechaHora{t.year, t.month, t.day, t.hour, t.minute, t.second};
}

// Exact numbers are read as text so that the driver's own rounding does not
// apply twice.
bool EsDecimal(int tipoAdo) {
  return tipoAdo == adNumeric || tipoAdo == adDecimal || tipoAdo == adCurrency;
}

Valor DeTextoDecimal(const std::string& texto) {
  double d = 0;
  std::from_chars(texto.data(), texto.data() + texto.size(), d);
  return d;
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
  SQLUINTEGER extensiones = 0;
  if (SQL_SUCCEEDED(SQLGetInfoW(static_cast<SQLHDBC>(conexion.get()), SQL_GETDATA_EXTENSIONS,
                                &extensiones, sizeof extensiones, nullptr))) {
    cualquierColumna_ = (extensiones & SQL_GD_ANY_COLUMN) != 0;
    releeEnlazadas_ = (extensiones & SQL_GD_BOUND) != 0;
  }
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
  // a call into the driver saved for every statement that bound nothing
  if (enlazadas_) (void)SQLFreeStmt(H(stmt_), SQL_UNBIND);
  enlazadas_ = false;
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
    } else if (const auto* s = std::get_if<std::string>(&v);
               s && motor_ == Motor::PostgreSql && SoloAscii(*s)) {
      // Bound as it is: every locale's encoding reads ASCII alike, and the
      // driver need not turn UTF-16 back into UTF-8, most of its work on a
      // batch's arrays. Other text goes as UTF-16: psqlODBC reads narrow
      // text in the locale's encoding, which need not be UTF-8. (SQL Server
      // would take narrow text as varchar, not nvarchar.)
      tipoC = SQL_C_CHAR;
      tipoSql = s->size() > kMaxTextoCorto ? SQL_LONGVARCHAR : SQL_VARCHAR;
      tamano = std::max<SQLULEN>(1, s->size());
      dato = const_cast<char*>(s->data());
      largoBuffer = static_cast<SQLLEN>(s->size());
      p.indicador = largoBuffer;
    } else if (s) {
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
  tamanos_.clear();
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
    tamanos_.push_back(c.tamano);
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
  nulo = false;
  for (;;) {
    SQLLEN indicador = 0;
    const SQLRETURN rc = Comprueba(SQLGetData(H(stmt_), columna, SQL_C_BINARY, trozo_.data(),
                                              static_cast<SQLLEN>(trozo_.size()), &indicador));
    if (rc == SQL_NO_DATA) break;
    if (indicador == SQL_NULL_DATA) {
      nulo = true;
      return {};
    }
    const bool lleno = indicador == SQL_NO_TOTAL || indicador > static_cast<SQLLEN>(trozo_.size());
    const std::size_t largo = lleno ? trozo_.size() : static_cast<std::size_t>(indicador);
    bytes.insert(bytes.end(), trozo_.begin(), trozo_.begin() + static_cast<std::ptrdiff_t>(largo));
    if (!lleno) break;
  }
  return bytes;
}

Valor SentenciaOdbc::LeeValor(unsigned short columna, int tipoAdo) {
  if (const TipoFijo fijo = FijoDe(tipoAdo); fijo.tipoC != 0) {
    alignas(8) unsigned char dato[sizeof(SQL_TIMESTAMP_STRUCT)]{};
    SQLLEN indicador = 0;
    Comprueba(SQLGetData(H(stmt_), columna, fijo.tipoC, dato, static_cast<SQLLEN>(fijo.tamano),
                         &indicador));
    if (indicador == SQL_NULL_DATA) return {};
    return ValorFijo(tipoAdo, dato);
  }
  bool nulo = false;
  if (EsTipoBinario(tipoAdo)) {
    Bytes b = LeeBytes(columna, nulo);
    if (nulo) return {};
    return b;
  }
  std::string texto = LeeTexto(columna, nulo);
  if (nulo) return {};
  if (EsDecimal(tipoAdo)) return DeTextoDecimal(texto);
  return texto;
}

void SentenciaOdbc::EnlazaColumnas(const std::vector<InfoCampo>& campos) {
  enlaces_.resize(campos.size());
  bool enlaza = true;
  for (std::size_t i = 0; i < campos.size(); ++i) {
    Enlace& e = enlaces_[i];
    const int tipo = campos[i].tipo;
    const unsigned long declarado = i < tamanos_.size() ? tamanos_[i] : 0;
    const TipoFijo fijo = FijoDe(tipo);
    std::size_t tamano = fijo.tamano;
    SQLSMALLINT tipoC = fijo.tipoC;
    // Text, numbers as text and bytes only where a value that does not fit
    // can still be read whole after the fetch.
    if (tipoC == 0 && releeEnlazadas_ && declarado > 0 && declarado <= kMaxEnlazado &&
        tipo != adLongVarChar && tipo != adLongVarWChar && tipo != adLongVarBinary) {
      if (EsTipoBinario(tipo)) {
        tipoC = SQL_C_BINARY, tamano = declarado;
      } else {
        // A declared character may take two UTF-16 units; a number adds
        // its sign, point and leading zero to the digits.
        const std::size_t unidades = EsDecimal(tipo) ? declarado + 8 : 2 * declarado;
        tipoC = SQL_C_WCHAR, tamano = (unidades + 1) * sizeof(SQLWCHAR);
      }
    }
    if (tipoC == 0 || !enlaza) {
      e.buffer.clear();
      // Without that extension unbound columns may only follow the bound ones.
      if (!cualquierColumna_) enlaza = false;
      continue;
    }
    e.buffer.resize(tamano);
    e.indicador = 0;
    enlazadas_ = true;
    Comprueba(SQLBindCol(H(stmt_), static_cast<SQLUSMALLINT>(i + 1), tipoC, e.buffer.data(),
                         static_cast<SQLLEN>(tamano), reinterpret_cast<SQLLEN*>(&e.indicador)));
  }
}

Valor SentenciaOdbc::ValorEnlazado(unsigned short columna, int tipoAdo) {
  const Enlace& e = enlaces_[columna - 1];
  const SQLLEN indicador = static_cast<SQLLEN>(e.indicador);
  if (indicador == SQL_NULL_DATA) return {};
  if (FijoDe(tipoAdo).tipoC != 0) return ValorFijo(tipoAdo, e.buffer.data());
  const bool binario = EsTipoBinario(tipoAdo);
  // Text ends in its terminator: a value that filled the buffer was cut.
  const SQLLEN capacidad = static_cast<SQLLEN>(e.buffer.size()) - (binario ? 0 : 1);
  if (indicador < 0 || indicador > capacidad) return LeeValor(columna, tipoAdo);
  const auto largo = static_cast<std::size_t>(indicador);
  if (binario)
    return Bytes(e.buffer.begin(), e.buffer.begin() + static_cast<std::ptrdiff_t>(largo));
  // copied out (the buffer holds bytes), into storage kept between values
  textoEnlazado_.resize(largo / sizeof(SQLWCHAR));
  std::memcpy(textoEnlazado_.data(), e.buffer.data(), textoEnlazado_.size() * sizeof(char16_t));
  if (EsDecimal(tipoAdo)) return DeTextoDecimal(Utf16AUtf8(textoEnlazado_));
  return Utf16AUtf8(textoEnlazado_);
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
  bool porEnlazar = true;
  while (maxRegistros <= 0 || static_cast<long>(resultado.filas.size()) < maxRegistros) {
    if (Comprueba(SQLFetch(H(stmt_))) == SQL_NO_DATA) break;
    std::vector<Valor> fila;
    fila.reserve(resultado.campos.size());
    // In column order: SQLGetData may not go back to an earlier column.
    for (std::size_t i = 0; i < resultado.campos.size(); ++i) {
      const auto columna = static_cast<unsigned short>(i + 1);
      const int tipo = resultado.campos[i].tipo;
      fila.push_back(enlazadas_ && !enlaces_[i].buffer.empty() ? ValorEnlazado(columna, tipo)
                                                               : LeeValor(columna, tipo));
    }
    resultado.filas.push_back(std::move(fila));
    // Bound once a first row came back and more may follow: a lookup that
    // finds nothing, or the one row asked for, costs no binding.
    if (porEnlazar && maxRegistros != 1) EnlazaColumnas(resultado.campos);
    porEnlazar = false;
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
