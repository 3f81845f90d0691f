#include "db/odbc/ConexionOdbc.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/CadenaConexion.h"
#include "db/CatalogoPostgres.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErroresBD.h"
#include "db/odbc/ManejadorOdbc.h"
#include "db/odbc/SentenciaOdbc.h"
#include "db/odbc/SocketsProceso.h"
#include "db/odbc/TextoOdbc.h"
#include "db/odbc/VigiaOdbc.h"
#include "db/pq/ListaComoArreglo.h"
#include "db/pq/LiteralArreglo.h"
#include "db/pq/PlanBusquedaLote.h"
#include "db/pq/SesionBusquedas.h"

namespace varlo::db {

namespace {
using odbc::ClaseHandle;
using odbc::ManejadorOdbc;
using odbc::SentenciaOdbc;
using odbc::VigiaOdbc;

// Prepared statements kept per connection. The SQL Server texts carry
// their key values as literals, so most of them are never seen twice; a
// short list keeps the ones that are without growing with the file.
constexpr std::size_t kSentenciasGuardadas = 16;
// The lookup of a batch's keys, "... key in (?, ?, ..., ?)" with every value
// bound in the list, as the dialect writes it; on PostgreSQL planned inside
// a transaction as pq/PlanBusquedaLote.h says. Outside a transaction a local
// setting would be gone before the lookup and a session-wide one could
// outlive it: the lookup then goes as it is.
bool BusquedaDeLote(const SentenciaSql& s) {
  const std::string& t = s.texto;
  std::size_t fin = t.size();
  auto sigue = [&](std::string_view parte) {
    if (fin < parte.size() || t.compare(fin - parte.size(), parte.size(), parte) != 0) return false;
    fin -= parte.size();
    return true;
  };
  if (s.parametros.empty() || !sigue(")")) return false;
  for (std::size_t i = 1; i < s.parametros.size(); ++i)
    if (!sigue(", ?")) return false;
  return sigue(" in (?");
}

// The server session of a connection handle: ended on destruction, so that
// a constructor that fails after connecting does not leave it open.
class SesionOdbc {
 public:
  explicit SesionOdbc(SQLHDBC dbc) : dbc_(dbc) {}
  ~SesionOdbc() { Termina(); }
  SesionOdbc(const SesionOdbc&) = delete;
  SesionOdbc& operator=(const SesionOdbc&) = delete;

  bool Activa() const noexcept { return dbc_ != SQL_NULL_HDBC; }
  void Termina() noexcept {
    if (dbc_ != SQL_NULL_HDBC) (void)SQLDisconnect(dbc_);
    dbc_ = SQL_NULL_HDBC;
  }

 private:
  SQLHDBC dbc_ = SQL_NULL_HDBC;
};

class ConexionOdbc final : public Backend {
 public:
  ConexionOdbc(const std::string& cadena, const Esperas& esperas);
  ~ConexionOdbc() override { Cierra(); }

  Motor MotorBD() const override { return motor_; }
  bool Abierta() const override { return sesion_ && sesion_->Activa(); }
  ResultadoConsulta Consulta(const SentenciaSql& s, long maxRegistros) override;
  long Ejecuta(const SentenciaSql& s) override;
  std::vector<std::string> TablasBase() override;
  // psqlODBC binds each array as one text the statement casts to its type:
  // the server reads a column of a batch once, not one JSON document per row.
  bool ArreglosAdmitidos() const override { return motor_ == Motor::PostgreSql; }
  // (held rows only: their keys are the transaction's records')
  long EjecutaArreglos(const std::string& texto,
                       const std::vector<std::vector<Valor>>& columnas) override {
    return EjecutaSentencia(pq::ConArreglos(texto, columnas));
  }
  std::optional<bool> TieneLocalizador(const std::string& tablaSql) override;
  std::optional<std::vector<std::string>> NombreCatalogo(
      const std::vector<std::string>& partes) override;
  void Cierra() noexcept override;
  void IniciaTransaccion() override;
  void ConfirmaTransaccion() override;
  void DeshaceTransaccion() noexcept override;
  bool EnTransaccion() const override { return enTransaccion_; }
  bool TransaccionAbiertaEnServidor() override;
  // PostgreSQL only: SQL Server's errors may doom the whole transaction,
  // which no savepoint brings back.
  bool PuntoAdmitido() const override { return motor_ == Motor::PostgreSql; }
  void MarcaPunto() override { Directa("savepoint varlodi_lote"); }
  void LiberaPunto() override { Directa("release savepoint varlodi_lote"); }
  void VuelveAlPunto() override {
    Directa("rollback to savepoint varlodi_lote");
    LiberaPunto();
  }
  // PostgreSQL: the lookups of a batch read on a second session of the same
  // string, in the calling thread, when the rows are received: meanwhile
  // this session writes on its own thread.
  bool EnviaConsultaAparte(const SentenciaSql& s) override;
  bool ConsultaAparteAdmitida() const override { return motor_ == Motor::PostgreSql; }
  ResultadoConsulta RecibeConsultaAparte() override;

 private:
  void AutoConfirmacion(bool activa);
  SQLHDBC Dbc() const { return static_cast<SQLHDBC>(dbc_.get()); }
  SentenciaOdbc& Prepara(const std::string& texto);
  ResultadoConsulta ConsultaTalCual(const SentenciaSql& s, long maxRegistros);
  long EjecutaSentencia(const SentenciaSql& s);
  // A statement of no values run as it is, not prepared.
  void Directa(const std::string& sql);
  ResultadoConsulta ConsultaPorIndice(const SentenciaSql& s, long maxRegistros);
  std::string TextoInfo(SQLUSMALLINT que);
  void ExigeAbierta() const;
  // Runs `llamada` under the client-side bound of `espera`: a call that the
  // server never answers is cancelled, then cut (the connection lost).
  template <class F>
  auto Vigilado(std::chrono::seconds espera, const char* que, std::function<void()> cancela,
                F&& llamada) -> decltype(llamada());
  [[noreturn]] void LanzaCorte() const;
  // SQLCancel from the watchdog. A driver may open a connection of its own
  // to send it (PostgreSQL's does), which hangs in its connect on a dead
  // network: the sockets that appear meanwhile are cut with the connection's.
  void CancelaVigilada(const SentenciaOdbc& sentencia) noexcept;
  void CortaVigilada(const std::vector<odbc::SocketProceso>& propios) noexcept;

  std::mutex cancelacion_;
  bool cancelando_ = false;
  std::vector<odbc::SocketProceso> antesDeCancelar_;
  // Outlives the handles: it watches every call made on them.
  VigiaOdbc vigia_;
  // Destroyed in reverse order: statements, then the session, then the handles.
  ManejadorOdbc env_;
  ManejadorOdbc dbc_;
  Esperas esperas_;
  std::optional<SesionOdbc> sesion_;
  bool enTransaccion_ = false;
  // a statement failed inside the transaction since the server was last asked
  bool falloEnTransaccion_ = false;
  Motor motor_ = Motor::OtroOdbc;
  std::list<SentenciaOdbc> sentencias_;  // most recently used first
  // Kept to open the session of lookups (ConsultaAparte) the first time one
  // is asked; when it cannot open, the lookups stay on this session.
  std::string cadena_;
  std::unique_ptr<ConexionOdbc> aparte_;
  bool aparteImposible_ = false;
  std::optional<std::string> rutaAparte_;  // its schema path, as last set
  std::optional<SentenciaSql> consultaAparte_;
  // Whether the open transaction reads as that session would (read
  // committed, the login's own role), through which schema path, asked the
  // first time a lookup may go there; and whether it ran a statement that
  // may have written other than its held rows (anything but a select).
  std::optional<bool> comoAparte_;
  std::string rutaTransaccion_;
  bool escrituraSuelta_ = false;
};

// The session of lookups only reads, by the key's index whatever the
// statistics say and without JIT (pq/PlanBusquedaLote.h), and names itself.
constexpr const char* kAjustesBusquedas =
    "select pg_catalog.set_config('enable_seqscan', 'off', false),"
    " pg_catalog.set_config('jit', 'off', false),"
    " pg_catalog.set_config('default_transaction_read_only', 'on', false),"
    " pg_catalog.set_config('application_name', 'varlodi-busquedas', false)";

ConexionOdbc::ConexionOdbc(const std::string& cadena, const Esperas& esperas)
    : esperas_(esperas), cadena_(cadena) {
  const std::string contexto = "Conexión: " + OcultaClave(cadena);
  std::string clave;
  for (const auto& [nombre, valor] : LeePares(cadena)) {
    if (IgualSinCaso(nombre, "PWD") || IgualSinCaso(nombre, "Password")) clave = valor;
  }

  env_ = ManejadorOdbc(ClaseHandle::Entorno, nullptr);
  env_.Comprueba(SQLSetEnvAttr(static_cast<SQLHENV>(env_.get()), SQL_ATTR_ODBC_VERSION,
                               reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                 contexto);
  dbc_ = ManejadorOdbc(ClaseHandle::Conexion, &env_);
  // A driver that does not know the attribute may refuse it; the connection
  // is still worth trying.
  (void)SQLSetConnectAttr(
      Dbc(), SQL_ATTR_LOGIN_TIMEOUT,
      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(esperas_.conexion.count())), 0);

  std::u16string cadena16 = odbc::Utf8AUtf16(cadena);
  SQLSMALLINT largo = 0;
  // The sockets that appear during the login are this connection's: the
  // only hand this side has to cut it when the server stops answering.
  const std::vector<odbc::SocketProceso> antes = odbc::SocketsAbiertos();
  vigia_.EstableceCorte([antes] { odbc::CortaSockets(odbc::SocketsNuevos(antes)); });
  Vigilado(esperas_.conexion, "inicio de sesión", nullptr, [&] {
    dbc_.Comprueba(SQLDriverConnectW(Dbc(), nullptr, reinterpret_cast<SQLWCHAR*>(cadena16.data()),
                                     static_cast<SQLSMALLINT>(cadena16.size()), nullptr, 0, &largo,
                                     SQL_DRIVER_NOPROMPT),
                   contexto, clave);
  });
  sesion_.emplace(Dbc());
  vigia_.EstableceCorte([this, propios = odbc::SocketsNuevos(antes)] { CortaVigilada(propios); });

  const std::string dbms = Vigilado(esperas_.conexion, "inicio de sesión", nullptr, [&] {
    // Browse isolation where the driver has it; a refusal changes nothing the
    // import relies on.
    (void)SQLSetConnectAttr(
        Dbc(), SQL_ATTR_TXN_ISOLATION,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_TXN_READ_UNCOMMITTED)), 0);
    dbc_.Comprueba(
        SQLSetConnectAttr(Dbc(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)), 0),
        contexto, clave);
    return TextoInfo(SQL_DBMS_NAME);
  });
  if (dbms == "Microsoft SQL Server") {
    motor_ = Motor::SqlServer;
  } else if (dbms == "PostgreSQL") {
    motor_ = Motor::PostgreSql;
  }
}

std::string ConexionOdbc::TextoInfo(SQLUSMALLINT que) {
  std::u16string texto(256, u'\0');
  SQLSMALLINT largo = 0;
  dbc_.Comprueba(SQLGetInfoW(Dbc(), que, texto.data(),
                             static_cast<SQLSMALLINT>(texto.size() * sizeof(SQLWCHAR)), &largo),
                 "SQLGetInfo");
  texto.resize(std::clamp<std::size_t>(
      static_cast<std::size_t>(std::max<SQLSMALLINT>(largo, 0)) / sizeof(SQLWCHAR), 0,
      texto.size() - 1));
  return odbc::Utf16AUtf8(texto);
}

template <class F>
auto ConexionOdbc::Vigilado(std::chrono::seconds espera, const char* que,
                            std::function<void()> cancela, F&& llamada) -> decltype(llamada()) {
  if (vigia_.Cortada()) LanzaCorte();
  try {
    const VigiaOdbc::Guardia guardia = vigia_.Vigila(espera, que, std::move(cancela));
    return llamada();
  } catch (...) {
    // whatever the driver said, the connection was cut under it
    if (vigia_.Cortada()) LanzaCorte();
    throw;
  }
}

void ConexionOdbc::CancelaVigilada(const SentenciaOdbc& sentencia) noexcept {
  {
    std::lock_guard l(cancelacion_);
    antesDeCancelar_ = odbc::SocketsAbiertos();
    cancelando_ = true;
  }
  sentencia.Cancela();
  std::lock_guard l(cancelacion_);
  cancelando_ = false;
}

void ConexionOdbc::CortaVigilada(const std::vector<odbc::SocketProceso>& propios) noexcept {
  odbc::CortaSockets(propios);
  std::lock_guard l(cancelacion_);
  // a connect shut down ends at once: the hung cancel returns
  if (cancelando_) odbc::CortaSockets(odbc::SocketsNuevos(antesDeCancelar_));
}

void ConexionOdbc::LanzaCorte() const {
  throw ErrorBaseDatos(odbc::NumeroDeEstado("HYT01"), "ODBC", vigia_.DescripcionCorte(),
                       ErrorBaseDatos::Clase::ConexionPerdida);
}

void ConexionOdbc::ExigeAbierta() const {
  if (vigia_.Cortada()) LanzaCorte();
  if (!Abierta()) {
    throw ErrorVarlo(errores_bd::FalloProveedor, "ODBC",
                     "La conexión con la base de datos está cerrada");
  }
}

SentenciaOdbc& ConexionOdbc::Prepara(const std::string& texto) {
  ExigeAbierta();
  auto it = std::find_if(sentencias_.begin(), sentencias_.end(),
                         [&](const SentenciaOdbc& s) { return s.Texto() == texto; });
  if (it != sentencias_.end()) {
    sentencias_.splice(sentencias_.begin(), sentencias_, it);
  } else {
    Vigilado(esperas_.sentencia, "preparación de una sentencia", nullptr,
             [&] { sentencias_.emplace_front(dbc_, texto, motor_, esperas_.sentencia); });
    if (sentencias_.size() > kSentenciasGuardadas) sentencias_.pop_back();
  }
  return sentencias_.front();
}

ResultadoConsulta ConexionOdbc::Consulta(const SentenciaSql& s, long maxRegistros) {
  if (motor_ != Motor::PostgreSql || !s.variasLlaves) return ConsultaTalCual(s, maxRegistros);
  // keys of several columns, or dates: planned on the index as they are
  if (!BusquedaDeLote(s))
    return enTransaccion_ ? ConsultaPorIndice(s, maxRegistros) : ConsultaTalCual(s, maxRegistros);
  // Text keys go as one array, "key = any(?)": psqlODBC leaves a text's
  // type to the server, which reads the array as one of the key column's
  // own type, as it reads each marker of the list; one text bound, not a
  // thousand, and one prepared statement whatever the number of keys.
  std::vector<pq::Parametro> textos;
  for (const Valor& v : s.parametros) {
    const auto* t = std::get_if<std::string>(&v);
    if (!t || t->find('\0') != std::string::npos) break;
    textos.push_back(pq::ParametroDe(v));
  }
  std::optional<pq::ListaComoArreglo> lista;
  if (textos.size() == s.parametros.size()) lista = pq::ComoArreglo(s.texto, textos);
  SentenciaSql arreglo;
  if (lista) arreglo = {std::move(lista->texto), {Valor(std::move(lista->arreglo.datos))}};
  const SentenciaSql& busqueda = lista ? arreglo : s;
  return enTransaccion_ ? ConsultaPorIndice(busqueda, maxRegistros)
                        : ConsultaTalCual(busqueda, maxRegistros);
}

// psqlODBC undoes a failing statement alone, back to a savepoint taken just
// before it, which keeps a setting made before it: the setting is put back
// whatever the lookup did.
ResultadoConsulta ConexionOdbc::ConsultaPorIndice(const SentenciaSql& s, long maxRegistros) {
  Ejecuta({pq::kSinRecorrido, {}});
  ResultadoConsulta r;
  try {
    r = ConsultaTalCual(s, maxRegistros);
  } catch (...) {
    try {
      Ejecuta({pq::kConRecorrido, {}});
    } catch (...) {
      // the lookup's own failure is the one to tell; the rollback that
      // follows a lost transaction ends the setting with it
    }
    throw;
  }
  Ejecuta({pq::kConRecorrido, {}});
  return r;
}

ResultadoConsulta ConexionOdbc::ConsultaTalCual(const SentenciaSql& s, long maxRegistros) {
  if (enTransaccion_ && !pq::SoloLee(s.texto)) escrituraSuelta_ = true;
  try {
    SentenciaOdbc& sentencia = Prepara(s.texto);
    return Vigilado(
        esperas_.sentencia, "sentencia", [this, &sentencia] { CancelaVigilada(sentencia); },
        [&] { return sentencia.Consulta(s.parametros, maxRegistros); });
  } catch (...) {
    falloEnTransaccion_ = enTransaccion_;
    throw;
  }
}

long ConexionOdbc::Ejecuta(const SentenciaSql& s) {
  if (enTransaccion_ && !pq::SoloLee(s.texto)) escrituraSuelta_ = true;
  return EjecutaSentencia(s);
}

long ConexionOdbc::EjecutaSentencia(const SentenciaSql& s) {
  try {
    SentenciaOdbc& sentencia = Prepara(s.texto);
    return Vigilado(
        esperas_.sentencia, "sentencia", [this, &sentencia] { CancelaVigilada(sentencia); },
        [&] { return sentencia.Ejecuta(s.parametros); });
  } catch (...) {
    falloEnTransaccion_ = enTransaccion_;
    throw;
  }
}

// psqlODBC takes a savepoint of its own before each statement and releases
// it before the next, which would release one of the application's taken
// in between; it leaves its own alone after a savepoint, a release or a
// rollback that it sees run as they are, not prepared.
void ConexionOdbc::Directa(const std::string& sql) {
  ManejadorOdbc stmt(ClaseHandle::Sentencia, &dbc_);
  const auto h = static_cast<SQLHSTMT>(stmt.get());
  // the statements' own bound: psqlODBC sets the server's before a statement
  // whose bound differs from the last one's, two round trips each time
  (void)SQLSetStmtAttr(
      h, SQL_ATTR_QUERY_TIMEOUT,
      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(esperas_.sentencia.count())), 0);
  std::u16string texto = odbc::Utf8AUtf16(sql);
  try {
    Vigilado(
        esperas_.sentencia, "punto de guardado del lote", [h] { (void)SQLCancel(h); },
        [&] {
          stmt.Comprueba(SQLExecDirectW(h, reinterpret_cast<SQLWCHAR*>(texto.data()),
                                        static_cast<SQLINTEGER>(texto.size())),
                         "Sentencia: " + sql);
        });
  } catch (...) {
    falloEnTransaccion_ = enTransaccion_;
    throw;
  }
}

// SQL Server: @@TRANCOUNT is 0 once the server rolled back (a deadlock
// victim, XACT_ABORT) and XACT_STATE() is -1 while only a rollback is
// allowed. PostgreSQL refuses any statement in an aborted transaction.
bool ConexionOdbc::TransaccionAbiertaEnServidor() {
  if (!enTransaccion_) return false;
  if (!falloEnTransaccion_) return true;
  falloEnTransaccion_ = false;
  if (motor_ == Motor::SqlServer)
    return TransaccionAbiertaSegunSqlServer(Consulta({kEstadoTransaccionSqlServer, {}}, 1));
  if (motor_ == Motor::PostgreSql) {
    try {
      Consulta({"select 1", {}}, 1);
    } catch (const ErrorVarlo& e) {
      if (EsConexionPerdida(e)) throw;
      falloEnTransaccion_ = false;
      return false;
    }
  }
  return true;
}

std::vector<std::string> ConexionOdbc::TablasBase() {
  ExigeAbierta();
  // The schema a PostgreSQL session works in; other engines list every
  // schema but the system ones.
  std::string esquema;
  if (motor_ == Motor::PostgreSql) {
    ResultadoConsulta r = Consulta({"select current_schema()", {}}, 1);
    if (!r.filas.empty() && !r.filas[0].empty()) esquema = ValorComoTexto(r.filas[0][0]);
  }

  ManejadorOdbc stmt(ClaseHandle::Sentencia, &dbc_);
  const auto h = static_cast<SQLHSTMT>(stmt.get());
  return Vigilado(
      esperas_.sentencia, "catálogo de tablas", [h] { (void)SQLCancel(h); },
      [&] {
        std::u16string tipo = u"TABLE";
        std::u16string todos = u"%";
        stmt.Comprueba(SQLTablesW(h, nullptr, 0, reinterpret_cast<SQLWCHAR*>(todos.data()), SQL_NTS,
                                  reinterpret_cast<SQLWCHAR*>(todos.data()), SQL_NTS,
                                  reinterpret_cast<SQLWCHAR*>(tipo.data()), SQL_NTS),
                       "SQLTables");
        auto columna = [&](SQLUSMALLINT n) {
          std::u16string valor(256, u'\0');
          SQLLEN indicador = 0;
          stmt.Comprueba(
              SQLGetData(h, n, SQL_C_WCHAR, valor.data(),
                         static_cast<SQLLEN>(valor.size() * sizeof(SQLWCHAR)), &indicador),
              "SQLTables");
          if (indicador == SQL_NULL_DATA) return std::string();
          valor.resize(std::clamp<std::size_t>(
              static_cast<std::size_t>(std::max<SQLLEN>(indicador, 0)) / sizeof(SQLWCHAR), 0,
              valor.size() - 1));
          return odbc::Utf16AUtf8(valor);
        };
        std::vector<std::string> tablas;
        while (stmt.Comprueba(SQLFetch(h), "SQLTables") != SQL_NO_DATA) {
          const std::string esquemaTabla = columna(2);
          const std::string nombre = columna(3);
          const std::string tipoTabla = columna(4);
          if (tipoTabla != "TABLE") continue;
          if (!esquema.empty()) {
            if (esquemaTabla != esquema) continue;
          } else if (IgualSinCaso(esquemaTabla, "sys") ||
                     IgualSinCaso(esquemaTabla, "INFORMATION_SCHEMA") ||
                     IgualSinCaso(esquemaTabla, "pg_catalog")) {
            continue;
          }
          tablas.push_back(nombre);
        }
        return tablas;
      });
}

// ODBC has no BEGIN: turning auto-commit off starts a transaction that
// SQLEndTran ends; auto-commit comes back between batches.
void ConexionOdbc::AutoConfirmacion(bool activa) {
  const SQLULEN valor = activa ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  Vigilado(esperas_.sentencia, "inicio o fin de una transacción", nullptr, [&] {
    dbc_.Comprueba(
        SQLSetConnectAttr(Dbc(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(valor), 0),
        "SQL_ATTR_AUTOCOMMIT");
  });
}

void ConexionOdbc::IniciaTransaccion() {
  ExigeAbierta();
  AutoConfirmacion(false);
  enTransaccion_ = true;
  escrituraSuelta_ = false;
  comoAparte_.reset();
}

bool ConexionOdbc::EnviaConsultaAparte(const SentenciaSql& s) {
  if (motor_ != Motor::PostgreSql || !enTransaccion_ || escrituraSuelta_ || aparteImposible_)
    return false;
  if (!comoAparte_) {
    // asked once per transaction, at its first such lookup
    const ResultadoConsulta r = ConsultaTalCual({pq::kEstadoTransaccion, {}}, 1);
    comoAparte_ = r.filas.size() == 1 && r.filas[0].size() == 3 &&
                  pq::LeeComoLaSesionDeBusquedas(ValorComoTexto(r.filas[0][1]),
                                                 ValorComoTexto(r.filas[0][2]));
    if (*comoAparte_) rutaTransaccion_ = ValorComoTexto(r.filas[0][0]);
  }
  if (!*comoAparte_) return false;
  if (!aparte_) {
    try {
      auto sesion = std::make_unique<ConexionOdbc>(cadena_, esperas_);
      sesion->ConsultaTalCual({kAjustesBusquedas, {}}, 1);
      aparte_ = std::move(sesion);
    } catch (const ErrorVarlo&) {
      // a server that takes no more sessions, say: the lookups stay here
      aparteImposible_ = true;
      return false;
    }
    rutaAparte_.reset();
  }
  if (rutaAparte_ != rutaTransaccion_) {
    aparte_->ConsultaTalCual(
        {"select pg_catalog.set_config('search_path', ?, false)", {Valor{rutaTransaccion_}}}, 1);
    rutaAparte_ = rutaTransaccion_;
  }
  consultaAparte_ = s;
  return true;
}

// Read here, not when sent: ODBC waits for each answer, and this session's
// write goes on its own thread in between.
ResultadoConsulta ConexionOdbc::RecibeConsultaAparte() {
  if (!aparte_ || !consultaAparte_)
    throw ErrorVarlo(errores_bd::FalloProveedor, "ODBC", "No se envió ninguna consulta aparte");
  const SentenciaSql s = std::move(*consultaAparte_);
  consultaAparte_.reset();
  return aparte_->Consulta(s, 0);
}

void ConexionOdbc::ConfirmaTransaccion() {
  ExigeAbierta();
  // Nothing to cancel: a commit the server never answers is cut.
  Vigilado(esperas_.sentencia, "confirmación de la transacción", nullptr,
           [&] { dbc_.Comprueba(SQLEndTran(SQL_HANDLE_DBC, Dbc(), SQL_COMMIT), "SQLEndTran"); });
  enTransaccion_ = false;
  AutoConfirmacion(true);
}

void ConexionOdbc::DeshaceTransaccion() noexcept {
  if (!sesion_ || !enTransaccion_) return;
  enTransaccion_ = false;
  // A connection cut from this side has nothing left to roll back: the
  // server ends the transaction with the session.
  try {
    Vigilado(esperas_.sentencia, "reversión de la transacción", nullptr, [&] {
      (void)SQLEndTran(SQL_HANDLE_DBC, Dbc(), SQL_ROLLBACK);
      (void)SQLSetConnectAttr(Dbc(), SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)),
                              0);
    });
  } catch (...) {
    // a rollback that fails leaves the transaction to the server
  }
}

std::optional<bool> ConexionOdbc::TieneLocalizador(const std::string& tablaSql) {
  if (motor_ != Motor::PostgreSql) return false;
  return LocalizadorPostgres(*this, tablaSql);
}

// SQL Server compares names as its collation says: the catalog is asked with
// the server's own rules, so that the name is then written quoted in its
// real spelling.
std::optional<std::vector<std::string>> ConexionOdbc::NombreCatalogo(
    const std::vector<std::string>& partes) {
  if (motor_ == Motor::PostgreSql) return NombreCatalogoPostgres(*this, partes);
  if (motor_ != Motor::SqlServer || partes.empty() || partes.size() > 2) return std::nullopt;
  std::string comoEscrita;
  for (const std::string& p : partes) comoEscrita += (comoEscrita.empty() ? "[" : ".[") + p + "]";
  const ResultadoConsulta r = Consulta({kNombreCatalogoSqlServer, {comoEscrita}}, 1);
  if (r.filas.empty() || r.filas[0].size() < 2 || EsNulo(r.filas[0][1])) return std::nullopt;
  std::vector<std::string> real;
  if (partes.size() == 2) real.push_back(ValorComoTexto(r.filas[0][0]));
  real.push_back(ValorComoTexto(r.filas[0][1]));
  return real;
}

void ConexionOdbc::Cierra() noexcept {
  try {
    Vigilado(esperas_.conexion, "cierre de la conexión", nullptr, [&] {
      sentencias_.clear();
      sesion_.reset();
    });
  } catch (...) {
    // cut: the handles are freed without asking the server
  }
  aparte_.reset();
  sentencias_.clear();
  sesion_.reset();
  dbc_.Libera();
  env_.Libera();
}
}  // namespace

bool TransaccionAbiertaSegunSqlServer(const ResultadoConsulta& respuesta) {
  if (respuesta.filas.empty() || respuesta.filas[0].size() < 2) return false;
  const std::vector<Valor>& fila = respuesta.filas[0];
  return !EsNulo(fila[0]) && ValorComoTexto(fila[0]) != "0" && ValorComoTexto(fila[1]) == "1";
}

std::unique_ptr<Backend> AbreOdbc(const std::string& cadenaOdbc, const Esperas& esperas) {
  return std::make_unique<ConexionOdbc>(cadenaOdbc, esperas);
}

}  // namespace varlo::db
