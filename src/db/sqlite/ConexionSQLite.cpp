#include "db/sqlite/ConexionSQLite.h"

#include <sqlite3.h>

#include <filesystem>
#include <unordered_map>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErroresBD.h"
#include "db/TiposAdo.h"
#include "db/sqlite/TiposSQLite.h"

namespace varlo::db {

namespace {

constexpr const char* kFuenteSQLite = "SQLite";
constexpr std::size_t kMaxSentenciasGuardadas = 256;

struct CierraBase {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct FinalizaSentencia {
  void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Sentencia = std::unique_ptr<sqlite3_stmt, FinalizaSentencia>;

long NumeroDeError(int codigo) {
  switch (codigo & 0xFF) {
    case SQLITE_CONSTRAINT:
      return errores_bd::ViolacionIntegridad;
    case SQLITE_ERROR:
      return errores_bd::ErrorEnComando;
    default:
      return errores_bd::FalloProveedor;
  }
}

// What an error means for the run. BUSY and LOCKED come back only once the
// busy timeout has run out.
ErrorBaseDatos::Clase ClaseDeError(int codigoExtendido) {
  switch (codigoExtendido) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
      return ErrorBaseDatos::Clase::ClaveDuplicada;
    default:
      break;
  }
  switch (codigoExtendido & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ErrorBaseDatos::Clase::Bloqueo;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return ErrorBaseDatos::Clase::ConexionPerdida;
    // no write can succeed until an operator frees space or grants writing
    case SQLITE_FULL:
    case SQLITE_READONLY:
      return ErrorBaseDatos::Clase::Almacenamiento;
    default:
      return ErrorBaseDatos::Clase::Otro;
  }
}

[[noreturn]] void LanzaSQLite(sqlite3* db, int codigo, const std::string& prefijo = {}) {
  const int extendido = db ? sqlite3_extended_errcode(db) : codigo;
  std::string mensaje = db ? sqlite3_errmsg(db) : sqlite3_errstr(codigo);
  // The gloss an operator reads first, as for the ODBC databases.
  if (mensaje.rfind("no such table", 0) == 0) mensaje = "no existe la tabla: " + mensaje;
  if (mensaje.rfind("no such column", 0) == 0) mensaje = "no existe la columna: " + mensaje;
  throw ErrorBaseDatos(NumeroDeError(codigo), kFuenteSQLite, prefijo + mensaje,
                       ClaseDeError((extendido & 0xFF) == (codigo & 0xFF) ? extendido : codigo));
}

// Leaves a statement ready for its next use and holding no lock. Its
// values stay bound (clearing them costs more than a lookup's own binding):
// every run binds every marker again first (Vincula refuses another count).
class UsoSentencia {
 public:
  explicit UsoSentencia(sqlite3_stmt* s) : s_(s) {}
  ~UsoSentencia() { sqlite3_reset(s_); }
  UsoSentencia(const UsoSentencia&) = delete;
  UsoSentencia& operator=(const UsoSentencia&) = delete;

 private:
  sqlite3_stmt* s_;
};

void Vincula(sqlite3* db, sqlite3_stmt* s, const std::vector<Valor>& parametros) {
  int esperados = sqlite3_bind_parameter_count(s);
  if (esperados != static_cast<int>(parametros.size()))
    throw ErrorVarlo(errores_bd::ErrorEnComando, kFuenteSQLite,
                     "La sentencia espera " + std::to_string(esperados) + " valores y recibió " +
                         std::to_string(parametros.size()));
  for (std::size_t k = 0; k < parametros.size(); ++k) {
    int i = static_cast<int>(k) + 1;
    const Valor& v = parametros[k];
    int rc = SQLITE_OK;
    if (EsNulo(v)) {
      rc = sqlite3_bind_null(s, i);
    } else if (const auto* t = std::get_if<std::string>(&v)) {
      // the value outlives the statement's use (reset before we return)
      rc = sqlite3_bind_text64(s, i, t->data(), t->size(), SQLITE_STATIC, SQLITE_UTF8);
    } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
      rc = sqlite3_bind_int64(s, i, *n);
    } else if (const auto* d = std::get_if<double>(&v)) {
      rc = sqlite3_bind_double(s, i, *d);
    } else if (const auto* b = std::get_if<bool>(&v)) {
      rc = sqlite3_bind_int(s, i, *b ? 1 : 0);
    } else if (const auto* f = std::get_if<FechaHora>(&v)) {
      char texto[kMaximoISOHora];
      rc = sqlite3_bind_text64(s, i, texto, EscribeISOHora(*f, texto), SQLITE_TRANSIENT,
                               SQLITE_UTF8);
    } else if (const auto* dec = std::get_if<Decimal>(&v)) {
      // the column's numeric affinity reads the text as SQLite's own number
      rc = sqlite3_bind_text64(s, i, dec->texto.data(), dec->texto.size(), SQLITE_STATIC,
                               SQLITE_UTF8);
    } else if (const auto* by = std::get_if<Bytes>(&v)) {
      rc = by->empty() ? sqlite3_bind_zeroblob(s, i, 0)
                       : sqlite3_bind_blob64(s, i, by->data(), by->size(), SQLITE_STATIC);
    }
    if (rc != SQLITE_OK) LanzaSQLite(db, rc);
  }
}

std::string TextoColumna(sqlite3_stmt* s, int i) {
  const auto* p = sqlite3_column_text(s, i);
  int n = sqlite3_column_bytes(s, i);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n))
           : std::string();
}

// The same read from a column's value, as sqlite3_column_value gives it
// (one call for the column instead of one per question asked of it; the
// connection is used by one thread at a time).
std::string TextoValor(sqlite3_value* v) {
  const auto* p = sqlite3_value_text(v);
  int n = sqlite3_value_bytes(v);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n))
           : std::string();
}

Bytes BytesValor(sqlite3_value* v) {
  const auto* p = static_cast<const unsigned char*>(sqlite3_value_blob(v));
  int n = sqlite3_value_bytes(v);
  return p ? Bytes(p, p + n) : Bytes();
}

// The stored value, typed as the column's ADO type says; a value stored
// with another storage class than its column's comes back as text.
Valor LeeValor(sqlite3_stmt* s, int i, int tipo) {
  sqlite3_value* v = sqlite3_column_value(s, i);
  int clase = sqlite3_value_type(v);
  if (clase == SQLITE_NULL) return {};
  if (EsTipoBinario(tipo)) return BytesValor(v);
  if (EsTipoTexto(tipo)) return TextoValor(v);
  bool numero = clase == SQLITE_INTEGER || clase == SQLITE_FLOAT;
  if (tipo == adBoolean && numero) return sqlite3_value_double(v) != 0.0;
  if (EsTipoEntero(tipo) && clase == SQLITE_INTEGER)
    return static_cast<std::int64_t>(sqlite3_value_int64(v));
  if (EsTipoNumerico(tipo) && numero) return sqlite3_value_double(v);
  if (EsTipoFecha(tipo) && clase == SQLITE_TEXT) {
    FechaHora f;
    std::string t = TextoValor(v);
    if (LeeFechaISO(t, f)) return f;
    return t;
  }
  if (clase == SQLITE_BLOB) return BytesValor(v);
  if (clase == SQLITE_INTEGER) return static_cast<std::int64_t>(sqlite3_value_int64(v));
  if (clase == SQLITE_FLOAT) return sqlite3_value_double(v);
  return TextoValor(v);
}

// A column of an expression has no declared type: the first value tells.
void TipoDeValor(sqlite3_stmt* s, int i, bool hayFila, InfoCampo& c) {
  switch (hayFila ? sqlite3_column_type(s, i) : SQLITE_NULL) {
    case SQLITE_INTEGER:
      c.tipo = adBigInt;
      c.tamanoDefinido = 8;
      break;
    case SQLITE_FLOAT:
      c.tipo = adDouble;
      c.tamanoDefinido = 8;
      break;
    case SQLITE_BLOB:
      c.tipo = adLongVarBinary;
      c.tamanoDefinido = 2147483647;
      break;
    default:
      c.tipo = adVarChar;
      c.tamanoDefinido = 2147483647;
      break;
  }
}

class BackendSQLite final : public Backend {
 public:
  BackendSQLite(const std::string& ruta, const Esperas& esperas) {
    // A missing file is a wrong path, never a new empty database.
    std::error_code ec;
    if (!std::filesystem::exists(ruta, ec))
      throw ErrorBaseDatos(errores_bd::FalloProveedor, kFuenteSQLite,
                           "No existe la base de datos SQLite (" + ruta + ")",
                           ErrorBaseDatos::Clase::ConexionPerdida);
    const std::string prefijo = "No se pudo abrir la base de datos SQLite " + ruta + ": ";
    sqlite3* db = nullptr;
    // One thread at a time uses a connection: no lock around every call.
    int rc =
        sqlite3_open_v2(ruta.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) LanzaSQLite(db, rc, prefijo);
    // a nightly run waits out a brief lock held by another program
    sqlite3_busy_timeout(db, static_cast<int>(esperas.bloqueo.count()));
    rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) LanzaSQLite(db, rc, prefijo);
    // With the WAL journal, NORMAL keeps the file consistent on a crash
    // without one disk sync per commit.
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    // A page cache of 16 MiB (instead of 2): the lookups of a large table
    // stay in memory, and the cost per record stops growing with the table.
    sqlite3_exec(db, "PRAGMA cache_size=-16384", nullptr, nullptr, nullptr);
  }

  Motor MotorBD() const override { return Motor::SQLite; }
  bool Abierta() const override { return db_ != nullptr; }

  ResultadoConsulta Consulta(const SentenciaSql& sql, long maxRegistros) override {
    Guardada& g = PreparaGuardada(sql.texto);
    sqlite3_stmt* s = g.sentencia.get();
    UsoSentencia uso(s);
    Vincula(db_.get(), s, sql.parametros);
    ResultadoConsulta r;
    int n = sqlite3_column_count(s);
    // The columns' names and declared types are read once per statement,
    // again only when SQLite had to prepare it anew (the schema changed).
    const int preparaciones = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (!g.columnasLeidas || g.preparaciones != preparaciones ||
        g.campos.size() != static_cast<std::size_t>(n)) {
      g.campos.assign(static_cast<std::size_t>(n), InfoCampo{});
      g.declarado.assign(static_cast<std::size_t>(n), false);
      for (int i = 0; i < n; ++i) {
        InfoCampo& c = g.campos[static_cast<std::size_t>(i)];
        const char* nombre = sqlite3_column_name(s, i);
        c.nombre = nombre ? nombre : "";
        const char* tipo = sqlite3_column_decltype(s, i);
        g.declarado[static_cast<std::size_t>(i)] = tipo && TipoDeclarado(tipo, c);
      }
      g.preparaciones = preparaciones;
      g.columnasLeidas = true;
    }
    r.campos = g.campos;
    const std::vector<bool>& declarado = g.declarado;
    bool primera = true;
    while (maxRegistros <= 0 || static_cast<long>(r.filas.size()) < maxRegistros) {
      int rc = sqlite3_step(s);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) LanzaSQLite(db_.get(), rc);
      if (primera) {
        for (int i = 0; i < n; ++i)
          if (!declarado[static_cast<std::size_t>(i)])
            TipoDeValor(s, i, true, r.campos[static_cast<std::size_t>(i)]);
        primera = false;
      }
      std::vector<Valor> fila;
      fila.reserve(static_cast<std::size_t>(n));
      for (int i = 0; i < n; ++i)
        fila.push_back(LeeValor(s, i, r.campos[static_cast<std::size_t>(i)].tipo));
      r.filas.push_back(std::move(fila));
    }
    if (primera)
      for (int i = 0; i < n; ++i)
        if (!declarado[static_cast<std::size_t>(i)])
          TipoDeValor(s, i, false, r.campos[static_cast<std::size_t>(i)]);
    return r;
  }

  long Ejecuta(const SentenciaSql& sql) override {
    sqlite3_stmt* s = Prepara(sql.texto);
    UsoSentencia uso(s);
    Vincula(db_.get(), s, sql.parametros);
    Paso(s);
    return static_cast<long>(sqlite3_changes64(db_.get()));
  }

  std::optional<long> EjecutaPorFilas(const std::string& texto,
                                      const std::vector<std::vector<Valor>>& filas) override {
    sqlite3_stmt* s = Prepara(texto);
    long cambios = 0;
    for (const std::vector<Valor>& fila : filas) {
      UsoSentencia uso(s);
      Vincula(db_.get(), s, fila);
      Paso(s);
      cambios += static_cast<long>(sqlite3_changes64(db_.get()));
    }
    return cambios;
  }

  std::vector<std::string> TablasBase() override {
    sqlite3_stmt* s = Prepara(
        "select name from sqlite_master where type = 'table' and name not like 'sqlite\\_%' "
        "escape '\\' order by rowid");
    UsoSentencia uso(s);
    std::vector<std::string> r;
    for (;;) {
      int rc = sqlite3_step(s);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) LanzaSQLite(db_.get(), rc);
      r.push_back(TextoColumna(s, 0));
    }
    return r;
  }

  // SQLite ignores the case of ASCII letters in names; the catalog's
  // spelling is still the one written.
  std::optional<std::vector<std::string>> NombreCatalogo(
      const std::vector<std::string>& partes) override {
    if (partes.size() != 1) return std::nullopt;
    sqlite3_stmt* s = Prepara(
        "select name from sqlite_master where type in ('table', 'view') and name = ?1 "
        "collate nocase order by name = ?1 desc limit 1");
    UsoSentencia uso(s);
    // bound without a copy: the value must outlive the step
    const std::vector<Valor> nombre{Valor(partes[0])};
    Vincula(db_.get(), s, nombre);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) LanzaSQLite(db_.get(), rc);
    return std::vector<std::string>{TextoColumna(s, 0)};
  }

  // IMMEDIATE takes the write lock at the start: two writers wait for each
  // other in the busy handler instead of failing inside a batch.
  void IniciaTransaccion() override { Ejecuta(SentenciaSql{"BEGIN IMMEDIATE", {}}); }
  void ConfirmaTransaccion() override { Ejecuta(SentenciaSql{"COMMIT", {}}); }
  void DeshaceTransaccion() noexcept override {
    if (db_ && !sqlite3_get_autocommit(db_.get()))
      sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  bool EnTransaccion() const override { return db_ && !sqlite3_get_autocommit(db_.get()); }
  // A savepoint costs SQLite no I/O.
  bool PuntoAdmitido() const override { return true; }
  void MarcaPunto() override { Ejecuta(SentenciaSql{"SAVEPOINT varlodi_lote", {}}); }
  void LiberaPunto() override { Ejecuta(SentenciaSql{"RELEASE varlodi_lote", {}}); }
  void VuelveAlPunto() override {
    Ejecuta(SentenciaSql{"ROLLBACK TO varlodi_lote", {}});
    LiberaPunto();
  }

  std::optional<bool> TieneLocalizador(const std::string& tablaSql) override {
    CompruebaAbierta();
    // A WITHOUT ROWID table has no rowid. A view's rows come back with a NULL
    // one, which no table of its own stands behind: its rows are changed by
    // their keys, one at a time and counted as such.
    if (Compila("select rowid from " + tablaSql, true)) return true;
    if (Compila("select * from " + tablaSql)) return false;
    return std::nullopt;
  }

  void Cierra() override {
    guardadas_.clear();
    db_.reset();
  }

 private:
  struct Guardada {
    Sentencia sentencia;
    // the result's columns as declared, once read
    bool columnasLeidas = false;
    int preparaciones = 0;
    std::vector<InfoCampo> campos;
    std::vector<bool> declarado;
  };

  void CompruebaAbierta() const {
    if (!db_)
      throw ErrorVarlo(errores_bd::FalloProveedor, kFuenteSQLite, "La conexión está cerrada");
  }

  // A prepared statement per SQL text, kept for the next record.
  sqlite3_stmt* Prepara(const std::string& texto) { return PreparaGuardada(texto).sentencia.get(); }

  Guardada& PreparaGuardada(const std::string& texto) {
    CompruebaAbierta();
    if (auto it = guardadas_.find(texto); it != guardadas_.end()) return it->second;
    if (guardadas_.size() >= kMaxSentenciasGuardadas) guardadas_.clear();
    sqlite3_stmt* s = nullptr;
    const char* resto = nullptr;
    int rc = sqlite3_prepare_v3(db_.get(), texto.data(), static_cast<int>(texto.size()),
                                SQLITE_PREPARE_PERSISTENT, &s, &resto);
    Sentencia propia(s);
    if (rc != SQLITE_OK) LanzaSQLite(db_.get(), rc);
    if (!s)
      throw ErrorVarlo(errores_bd::ErrorEnComando, kFuenteSQLite,
                       "La sentencia está vacía: " + texto);
    // One text is one statement: whatever follows it may only be blanks,
    // comments or a ";", never a second statement.
    const char* fin = texto.data() + texto.size();
    while (resto && resto < fin) {
      sqlite3_stmt* otra = nullptr;
      const char* siguiente = nullptr;
      rc = sqlite3_prepare_v2(db_.get(), resto, static_cast<int>(fin - resto), &otra, &siguiente);
      Sentencia descartada(otra);
      if (rc != SQLITE_OK || otra || siguiente == resto)
        throw ErrorVarlo(errores_bd::ErrorEnComando, kFuenteSQLite,
                         "Solo se ejecuta una sentencia a la vez: " + texto);
      resto = siguiente;
    }
    Guardada g;
    g.sentencia = std::move(propia);
    return guardadas_.emplace(texto, std::move(g)).first->second;
  }

  // Whether the text compiles here (the statement is not kept).
  // `deTabla`: its first column must come from a table (not a view's NULL).
  bool Compila(const std::string& texto, bool deTabla = false) {
    sqlite3_stmt* s = nullptr;
    int rc =
        sqlite3_prepare_v2(db_.get(), texto.data(), static_cast<int>(texto.size()), &s, nullptr);
    Sentencia descartada(s);
    return rc == SQLITE_OK && s && (!deTabla || sqlite3_column_table_name(s, 0));
  }

  void Paso(sqlite3_stmt* s) {
    for (;;) {
      int rc = sqlite3_step(s);
      if (rc == SQLITE_DONE) return;
      if (rc != SQLITE_ROW) LanzaSQLite(db_.get(), rc);
    }
  }

  std::unique_ptr<sqlite3, CierraBase> db_;
  // declared after the handle: finalized before it closes
  std::unordered_map<std::string, Guardada> guardadas_;
};

}  // namespace

std::unique_ptr<Backend> AbreSQLite(const std::string& ruta, const Esperas& esperas) {
  return std::make_unique<BackendSQLite>(ruta, esperas);
}

}  // namespace varlo::db
