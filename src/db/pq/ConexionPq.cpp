#include "db/pq/ConexionPq.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <list>
#include <optional>
#include <thread>
#include <vector>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/CatalogoPostgres.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErroresBD.h"
#include "db/EstadosSql.h"
#include "db/pq/CopiaPq.h"
#include "db/pq/ListaComoArreglo.h"
#include "db/pq/LiteralArreglo.h"
#include "db/pq/MarcasPq.h"
#include "db/pq/PlanBusquedaLote.h"
#include "db/pq/SesionBusquedas.h"
#include "db/pq/SocketPq.h"
#include "db/pq/TiposPq.h"

namespace varlo::db {

namespace {
using pq::EstadoSocket;
using pq::Reloj;

constexpr const char* kFuente = "PostgreSQL";
// Past its wait, a call that has not returned is cancelled; when the cancel
// brings no answer either, the connection is cut from this side.
constexpr auto kMargenCancelacion = std::chrono::seconds(2);
constexpr auto kMargenCorte = std::chrono::seconds(3);
// Prepared statements kept per connection: the import repeats a few texts
// (a lookup, an insert, an update per table); the rest are released.
constexpr std::size_t kSentenciasPreparadas = 16;
// Around each statement of a transaction: a failing statement undoes only itself.
constexpr const char* kPuntoGuardado = "savepoint varlodi_sentencia";
constexpr const char* kLiberaPunto = "release savepoint varlodi_sentencia";
// After a failing statement: it alone is undone, the transaction goes on.
constexpr const char* kVuelvePunto =
    "rollback to savepoint varlodi_sentencia; release savepoint varlodi_sentencia";
// The begin, with what a session of its own needs to read the database as
// this transaction does: its schema path, its role, its isolation.
const std::string kInicio = std::string("begin; ") + pq::kEstadoTransaccion;
// The session of lookups only reads, by the key's index whatever the
// statistics say and without JIT (pq/PlanBusquedaLote.h), and names itself
// apart (unless the string names it).
constexpr const char* kAjustesBusquedas =
    "-c enable_seqscan=off -c jit=off -c default_transaction_read_only=on";

struct LiberaResultado {
  void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using Resultado = std::unique_ptr<PGresult, LiberaResultado>;
struct LiberaConexion {
  void operator()(PGconn* c) const noexcept { PQfinish(c); }
};
struct LiberaOpciones {
  void operator()(PQconninfoOption* o) const noexcept { PQconninfoFree(o); }
};

bool Contiene(const std::string& texto, std::string_view parte) {
  return texto.find(parte) != std::string::npos;
}

// libpq reports a failed login without a SQLSTATE: the server's words tell it.
std::string EstadoDeInicio(const std::string& mensaje) {
  if (Contiene(mensaje, "password authentication failed") ||
      Contiene(mensaje, "no password supplied") || Contiene(mensaje, "authentication failed"))
    return "28P01";
  if (Contiene(mensaje, "database \"") && Contiene(mensaje, "does not exist")) return "3D000";
  if (Contiene(mensaje, "role \"") && Contiene(mensaje, "does not exist")) return "28000";
  return "08001";
}

std::string Describe(const std::string& estado, const std::string& mensaje,
                     const std::string& contexto) {
  std::string d = MensajeEnUnaLinea(mensaje) + " (SQLSTATE " + estado + ")";
  if (const std::string glosa = GlosaDeEstado(estado); !glosa.empty()) d = glosa + ": " + d;
  if (!contexto.empty()) d += " - " + contexto;
  return d;
}

class ConexionPq final : public Backend {
 public:
  // `busquedas`: the session that reads the lookups beside another's writes.
  ConexionPq(const std::string& conninfo, const std::string& visible, const Esperas& esperas,
             bool busquedas = false);
  ~ConexionPq() override { Cierra(); }

  Motor MotorBD() const override { return Motor::PostgreSql; }
  bool Abierta() const override { return pg_ != nullptr; }
  ResultadoConsulta Consulta(const SentenciaSql& s, long maxRegistros) override;
  long Ejecuta(const SentenciaSql& s) override;
  std::vector<std::string> TablasBase() override;
  void IniciaTransaccion() override;
  void ConfirmaTransaccion() override;
  void DeshaceTransaccion() noexcept override;
  bool EnTransaccion() const override { return enTransaccion_; }
  bool TransaccionAbiertaEnServidor() override;
  bool PuntoAdmitido() const override { return true; }
  void MarcaPunto() override;
  void LiberaPunto() override;
  void VuelveAlPunto() override;
  std::optional<bool> TieneLocalizador(const std::string& tablaSql) override {
    return LocalizadorPostgres(*this, tablaSql);
  }
  bool CopiaFilasAdmitida() const override { return true; }
  bool EscribeSinEsperar() const override { return true; }
  void EsperaEscrituras() override {
    ExigeAbierta();
    TerminaEscritura();
  }
  bool EnviaConsultaAparte(const SentenciaSql& s) override;
  bool ConsultaAparteAdmitida() const override { return true; }
  ResultadoConsulta RecibeConsultaAparte() override;
  void CopiaFilas(const std::string& tablaSql, const std::vector<std::string>& columnasSql,
                  const std::vector<std::vector<Valor>>& filas) override;
  std::optional<std::vector<std::string>> NombreCatalogo(
      const std::vector<std::string>& partes) override {
    return NombreCatalogoPostgres(*this, partes);
  }
  bool ArreglosAdmitidos() const override { return true; }
  long EjecutaArreglos(const std::string& texto,
                       const std::vector<std::vector<Valor>>& columnas) override {
    return Ejecuta(pq::ConArreglos(texto, columnas));
  }
  bool EjecutaArreglosSinEsperar(const std::string& texto,
                                 const std::vector<std::vector<Valor>>& columnas,
                                 long esperadas) override;
  void Cierra() noexcept override;

 private:
  // Sends with `envia` and gathers every result until the server is done
  // (in pipeline mode: until the sync point; in a copy: until it waits for
  // the rows), all within `espera`.
  // Without `leeResultados` it returns once everything was sent.
  std::vector<Resultado> Intercambio(const std::function<int()>& envia, bool tuberia,
                                     std::chrono::seconds espera, const char* que,
                                     bool leeResultados = true);
  // The verdict of the write sent last without waiting (a copy, ended
  // first, or a change of held rows), read before anything else is sent: a
  // refusal, or a change that did not reach every row it should, raised as
  // an error. `abandona` ends a copy as failed.
  void TerminaEscritura(bool abandona = false);
  // Sends the end of the copy (`error`: failed), waiting while the send
  // buffer is full; 0 when libpq refused it.
  int EnviaFinCopia(const char* error);
  // What is needed to read the results of a statement sent in a pipeline.
  struct Enviada {
    std::string contexto;
    bool punto = false;      // a savepoint around it
    bool porIndice = false;  // sequential scans ruled out around it
    bool nueva = false;      // prepared in the same pipeline
    std::string nombre;      // of the prepared statement ("" none)
    std::vector<std::string> liberar;
    long esperadas = -1;  // rows it must change, when sent without waiting
  };
  // The result of one statement, its failure raised.
  Resultado Sentencia(const SentenciaSql& s);
  // A query sent without reading its result, and that result, read later
  // (nothing else may be sent meanwhile; a new one drops the one unread).
  void EnviaConsulta(const SentenciaSql& s);
  ResultadoConsulta RecibeConsulta();
  static ResultadoConsulta ComoResultado(const PGresult* r, long maxRegistros);
  // A call on the session of lookups: its loss ends this session too.
  template <class F>
  auto EnAparte(F&& llamada);
  // Sends a statement with values in one pipeline (savepoint, statement,
  // release) and, when `lee`, reads its results (into `rs`).
  Enviada EnviaEnTuberia(const SentenciaSql& s, bool lee, std::vector<Resultado>& rs);
  Resultado RecibeDeTuberia(const Enviada& e, std::vector<Resultado> rs);
  // A prepared statement's name that the server does not hold.
  void Olvida(const std::string& nombre);
  void Simple(const char* sql, const char* que);
  // Sends one statement, or runs the prepared one of that name.
  void Envia(const char* sql, const std::vector<pq::Parametro>& parametros,
             const char* preparada = nullptr);
  // The name of the statement prepared for that text and those value
  // types; `nueva` when it must be prepared first.
  std::string Preparada(const std::string& texto, const std::vector<pq::Parametro>& parametros,
                        bool& nueva);
  void Cancela() noexcept;
  void ExigeAbierta() const;
  [[noreturn]] void LanzaDeResultado(const PGresult* r, const std::string& contexto);
  [[noreturn]] void LanzaPerdida(std::string descripcion);
  [[noreturn]] void LanzaSinRespuesta(Reloj::time_point inicio, std::chrono::seconds espera,
                                      const char* que);

  std::unique_ptr<PGconn, LiberaConexion> pg_;
  Esperas esperas_;
  bool enTransaccion_ = false;
  bool perdida_ = false;
  std::string descripcionPerdida_;
  // Prepared statements by text and value types, most recently used first;
  // names are never reused, so a release that did not run leaves no clash.
  std::list<std::pair<std::string, std::string>> preparadas_;
  std::vector<std::string> porLiberar_;
  unsigned long ultimaPreparada_ = 0;
  // A copy whose rows were sent and whose verdict has not been read.
  struct CopiaEnCurso {
    std::string orden;
    std::string contexto;
    Reloj::time_point desde;
    bool abierta = true;  // its end not sent: rows of the same table may follow
  };
  std::optional<CopiaEnCurso> copiaEnCurso_;
  // The session of lookups (ConsultaAparte), opened the first time one is
  // asked; when it cannot open, the lookups stay on this session.
  std::string conninfo_, visible_;
  std::unique_ptr<ConexionPq> aparte_;
  bool aparteImposible_ = false;
  std::optional<std::string> rutaAparte_;  // its schema path, as last set
  // What the open transaction reads through, and whether that session
  // reads the same (read committed, the login's own role); and whether it
  // ran a statement that may have written (anything but a select).
  std::string rutaTransaccion_;
  bool comoAparte_ = false;
  bool escrituraSuelta_ = false;
  std::optional<Enviada> sentenciaEnCurso_;
  // A query sent and not read yet (EnviaConsulta).
  std::optional<Enviada> consultaEnCurso_;
};

ConexionPq::ConexionPq(const std::string& conninfo, const std::string& visible,
                       const Esperas& esperas, bool busquedas)
    : esperas_(esperas), conninfo_(conninfo), visible_(visible) {
  const std::string contexto = "Conexión: " + visible;
  char* error = nullptr;
  std::unique_ptr<PQconninfoOption, LiberaOpciones> opciones(
      PQconninfoParse(conninfo.c_str(), &error));
  if (!opciones) {
    std::string m = error ? error : "cadena de conexión no válida";
    PQfreemem(error);
    // libpq quotes the piece of a URI it could not read, which may be the
    // password: only its words stay
    if (conninfo.find("://") != std::string::npos) m = m.substr(0, m.find('"'));
    throw ErrorBaseDatos(
        errores_bd::FalloProveedor, kFuente,
        "No se puede abrir la conexión: " + MensajeEnUnaLinea(m) + " - " + contexto,
        ErrorBaseDatos::Clase::Otro);
  }
  // The session's settings travel with the login: ISO dates in the text the
  // values are read from, and the server's own bound on each statement.
  std::string ajustes = "-c DateStyle=ISO,YMD -c statement_timeout=" +
                        std::to_string(esperas_.sentencia.count() * 1000);
  if (busquedas) ajustes += std::string(" ") + kAjustesBusquedas;
  std::vector<std::string> claves, valores;
  for (PQconninfoOption* o = opciones.get(); o->keyword; ++o) {
    if (!o->val) continue;
    const std::string clave = o->keyword;
    if (clave == "options") {
      ajustes = std::string(o->val) + " " + ajustes;
    } else if (clave != "client_encoding" && clave != "fallback_application_name") {
      claves.push_back(clave), valores.push_back(o->val);
    }
  }
  claves.push_back("options"), valores.push_back(ajustes);
  claves.push_back("client_encoding"), valores.push_back("UTF8");
  claves.push_back("fallback_application_name");
  valores.push_back(busquedas ? "varlodi-busquedas" : "varlodi");
  std::vector<const char*> k, v;
  for (std::size_t i = 0; i < claves.size(); ++i) k.push_back(claves[i].c_str());
  for (std::size_t i = 0; i < valores.size(); ++i) v.push_back(valores[i].c_str());
  k.push_back(nullptr), v.push_back(nullptr);

  pg_.reset(PQconnectStartParams(k.data(), v.data(), 0));
  if (!pg_) throw ErrorVarlo(errores::MemoriaInsuficiente, kFuente, "Sin memoria para conectar");
  const Reloj::time_point inicio = Reloj::now();
  const Reloj::time_point plazo = inicio + esperas_.conexion;
  PostgresPollingStatusType estado = PGRES_POLLING_WRITING;
  while (PQstatus(pg_.get()) != CONNECTION_BAD && estado != PGRES_POLLING_OK &&
         estado != PGRES_POLLING_FAILED) {
    const EstadoSocket e = pq::EsperaSocket(PQsocket(pg_.get()), estado == PGRES_POLLING_READING,
                                            estado == PGRES_POLLING_WRITING, plazo);
    if (e == EstadoSocket::Plazo) {
      pg_.reset();
      const auto s = std::chrono::duration_cast<std::chrono::seconds>(Reloj::now() - inicio);
      throw ErrorBaseDatos(NumeroDeEstado("HYT00"), kFuente,
                           Describe("08001",
                                    "El servidor de base de datos no respondió en " +
                                        std::to_string(s.count()) + " s (inicio de sesión)",
                                    contexto),
                           ErrorBaseDatos::Clase::ConexionPerdida);
    }
    estado = PQconnectPoll(pg_.get());
  }
  if (PQstatus(pg_.get()) != CONNECTION_OK) {
    const std::string m = PQerrorMessage(pg_.get());
    pg_.reset();
    const std::string e = EstadoDeInicio(m);
    throw ErrorBaseDatos(NumeroDeEstado(e), kFuente, Describe(e, m, contexto), ClaseDeEstado(e));
  }
  // Never block in a send: every wait is this side's, on the socket.
  PQsetnonblocking(pg_.get(), 1);
  // The server's notices (a trigger's RAISE NOTICE for every row) are not the
  // run's messages: libpq would print them on stderr, through the console's
  // lines. Through ODBC they are not shown either.
  PQsetNoticeProcessor(
      pg_.get(), [](void*, const char*) {}, nullptr);
}

void ConexionPq::ExigeAbierta() const {
  if (perdida_)
    throw ErrorBaseDatos(NumeroDeEstado("08006"), kFuente, descripcionPerdida_,
                         ErrorBaseDatos::Clase::ConexionPerdida);
  if (!pg_)
    throw ErrorVarlo(errores_bd::FalloProveedor, kFuente,
                     "La conexión con la base de datos está cerrada");
}

void ConexionPq::LanzaPerdida(std::string descripcion) {
  perdida_ = true;
  descripcionPerdida_ = descripcion;
  enTransaccion_ = false;
  throw ErrorBaseDatos(NumeroDeEstado("08006"), kFuente, std::move(descripcion),
                       ErrorBaseDatos::Clase::ConexionPerdida);
}

void ConexionPq::LanzaSinRespuesta(Reloj::time_point inicio, std::chrono::seconds espera,
                                   const char* que) {
  pq::CortaSocket(PQsocket(pg_.get()));
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(Reloj::now() - inicio);
  LanzaPerdida("El servidor de base de datos no respondió en " + std::to_string(s.count()) +
               " s (" + que + ", espera de " + std::to_string(espera.count()) +
               " s): se da por perdida la conexión");
}

void ConexionPq::LanzaDeResultado(const PGresult* r, const std::string& contexto) {
  const char* estado = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  std::string mensaje = r ? PQresultErrorMessage(r) : "";
  if (mensaje.empty()) mensaje = PQerrorMessage(pg_.get());
  // libpq's own errors (a dead socket) carry no state: the connection tells
  if (PQstatus(pg_.get()) == CONNECTION_BAD) {
    LanzaPerdida(Describe(estado ? estado : "08006", mensaje, contexto));
  }
  const std::string e = estado ? estado : "HY000";
  throw ErrorBaseDatos(NumeroDeEstado(e), kFuente, Describe(e, mensaje, contexto),
                       ClaseDeEstado(e));
}

// PQcancel blocks until the server takes the request, and on a dead network
// its own connect may never end: it runs on a thread of its own that nothing
// waits for (it holds the only copy of what it uses), while this side's wait
// goes on bounded.
void ConexionPq::Cancela() noexcept {
  std::shared_ptr<PGcancel> cancelacion(PQgetCancel(pg_.get()), [](PGcancel* c) {
    if (c) PQfreeCancel(c);
  });
  if (!cancelacion) return;
  try {
    std::thread([cancelacion] {
      char error[256];
      (void)PQcancel(cancelacion.get(), error, sizeof error);
    }).detach();
  } catch (...) {
    // no thread: the cut still bounds the wait
  }
}

std::vector<Resultado> ConexionPq::Intercambio(const std::function<int()>& envia, bool tuberia,
                                               std::chrono::seconds espera, const char* que,
                                               bool leeResultados) {
  PGconn* c = pg_.get();
  const Reloj::time_point inicio = Reloj::now();
  Reloj::time_point plazo = inicio + espera + kMargenCancelacion;
  bool cancelada = false;
  // Past the wait: the cancel first, then the cut.
  auto vencido = [&] {
    if (cancelada) LanzaSinRespuesta(inicio, espera, que);
    Cancela();
    cancelada = true;
    plazo = Reloj::now() + kMargenCorte;
  };
  if (!envia()) LanzaDeResultado(nullptr, que);
  for (;;) {
    const int f = PQflush(c);
    if (f == 0) break;
    if (f < 0) LanzaDeResultado(nullptr, que);
    // the server may be writing to us meanwhile: read too, or both would wait
    const EstadoSocket e = pq::EsperaSocket(PQsocket(c), true, true, plazo);
    if (e == EstadoSocket::Plazo) vencido();
    if (!PQconsumeInput(c)) LanzaDeResultado(nullptr, que);
  }
  std::vector<Resultado> resultados;
  if (!leeResultados) return resultados;
  bool nuloPrevio = false;
  for (;;) {
    bool espera_datos = PQisBusy(c) != 0;
    if (!espera_datos) {
      Resultado r(PQgetResult(c));
      if (r) {
        nuloPrevio = false;
        // the server waits for the rows of a copy: the caller sends them
        const bool fin = PQresultStatus(r.get()) == PGRES_PIPELINE_SYNC ||
                         PQresultStatus(r.get()) == PGRES_COPY_IN;
        resultados.push_back(std::move(r));
        if (fin) return resultados;
        continue;
      }
      if (!tuberia) return resultados;
      // in a pipeline each statement's results end with a null; two in a
      // row: the next ones have not arrived yet
      if (!nuloPrevio) {
        nuloPrevio = true;
        continue;
      }
      espera_datos = true;
    }
    if (PQstatus(c) == CONNECTION_BAD) LanzaDeResultado(nullptr, que);
    const EstadoSocket e = pq::EsperaSocket(PQsocket(c), true, false, plazo);
    if (e == EstadoSocket::Plazo) {
      vencido();
      continue;
    }
    if (!PQconsumeInput(c)) LanzaDeResultado(nullptr, que);
  }
}

void ConexionPq::Envia(const char* sql, const std::vector<pq::Parametro>& parametros,
                       const char* preparada) {
  std::vector<Oid> tipos;
  std::vector<const char*> valores;
  std::vector<int> largos, formatos;
  for (const pq::Parametro& p : parametros) {
    tipos.push_back(p.oid);
    valores.push_back(p.nulo ? nullptr : p.datos.data());
    largos.push_back(static_cast<int>(p.datos.size()));
    formatos.push_back(p.binario ? 1 : 0);
  }
  const int n = static_cast<int>(parametros.size());
  const int enviada = preparada ? PQsendQueryPrepared(pg_.get(), preparada, n, valores.data(),
                                                      largos.data(), formatos.data(), 0)
                                : PQsendQueryParams(pg_.get(), sql, n, tipos.data(), valores.data(),
                                                    largos.data(), formatos.data(), 0);
  if (!enviada) LanzaDeResultado(nullptr, sql);
}

std::string ConexionPq::Preparada(const std::string& texto,
                                  const std::vector<pq::Parametro>& parametros, bool& nueva) {
  std::string clave = texto;
  clave += '\0';
  for (const pq::Parametro& p : parametros) clave += std::to_string(p.oid) + ",";
  auto it = std::find_if(preparadas_.begin(), preparadas_.end(),
                         [&](const auto& p) { return p.first == clave; });
  if (it != preparadas_.end()) {
    preparadas_.splice(preparadas_.begin(), preparadas_, it);
    nueva = false;
    return preparadas_.front().second;
  }
  nueva = true;
  preparadas_.emplace_front(std::move(clave), "varlodi_" + std::to_string(++ultimaPreparada_));
  return preparadas_.front().second;
}

Resultado ConexionPq::Sentencia(const SentenciaSql& s) {
  ExigeAbierta();
  TerminaEscritura();
  if (enTransaccion_ && !pq::SoloLee(s.texto)) escrituraSuelta_ = true;
  if (!enTransaccion_ && s.parametros.empty()) {
    // a text of the user's own, sent as it is: it may hold several
    // statements, or one that refuses to run in a transaction block
    const std::string contexto = "Sentencia: " + s.texto;
    PGconn* c = pg_.get();
    std::vector<Resultado> rs = Intercambio([&] { return PQsendQuery(c, s.texto.c_str()); }, false,
                                            esperas_.sentencia, "sentencia");
    for (Resultado& r : rs) {
      const ExecStatusType e = PQresultStatus(r.get());
      if (e == PGRES_FATAL_ERROR || e == PGRES_BAD_RESPONSE) LanzaDeResultado(r.get(), contexto);
    }
    if (rs.empty()) LanzaDeResultado(nullptr, contexto);
    return std::move(rs.back());
  }
  std::vector<Resultado> rs;
  const Enviada e = EnviaEnTuberia(s, true, rs);
  return RecibeDeTuberia(e, std::move(rs));
}

bool ConexionPq::EjecutaArreglosSinEsperar(const std::string& texto,
                                           const std::vector<std::vector<Valor>>& columnas,
                                           long esperadas) {
  ExigeAbierta();
  TerminaEscritura();
  // without a transaction (a savepoint) its failure could not undo itself alone
  if (!enTransaccion_) return false;
  std::vector<Resultado> rs;
  Enviada e = EnviaEnTuberia(pq::ConArreglos(texto, columnas), false, rs);
  e.esperadas = esperadas;
  sentenciaEnCurso_ = std::move(e);
  return true;
}

ConexionPq::Enviada ConexionPq::EnviaEnTuberia(const SentenciaSql& s, bool lee,
                                               std::vector<Resultado>& rs) {
  std::vector<pq::Parametro> parametros;
  parametros.reserve(s.parametros.size());
  for (const Valor& v : s.parametros) parametros.push_back(pq::ParametroDe(v));
  std::string texto = s.texto;
  Enviada e;
  e.contexto = "Sentencia: " + s.texto;
  // The keys of a batch in one array: a table still without statistics
  // (filled in this same run, not yet analysed) would make the planner read
  // it whole for a long list of keys, and a plan kept from when it was empty
  // would do so for every batch; inside the transaction the lookup is
  // planned with sequential scans ruled out, so the key's index (where it
  // has one) is read whatever the statistics say, for this statement only.
  if (s.variasLlaves) {
    if (auto arreglo = pq::ComoArreglo(texto, parametros)) {
      texto = std::move(arreglo->texto);
      parametros.assign(1, std::move(arreglo->arreglo));
    }
    e.porIndice = enTransaccion_;
  }
  if (!parametros.empty()) texto = pq::NumeraMarcas(texto);
  PGconn* c = pg_.get();
  e.punto = enTransaccion_;

  // One round trip: in a transaction a savepoint around the statement (a
  // failing statement undoes only itself); a statement with values is
  // prepared once and run again by name, as the import repeats the same
  // few texts; the statements pushed out of the list are released last.
  e.nombre = parametros.empty() ? std::string() : Preparada(texto, parametros, e.nueva);
  while (preparadas_.size() > kSentenciasPreparadas) {
    porLiberar_.push_back(preparadas_.back().second);
    preparadas_.pop_back();
  }
  e.liberar = porLiberar_;
  try {
    rs = Intercambio(
        [&] {
          if (!PQenterPipelineMode(c)) return 0;
          if (e.punto) Envia(kPuntoGuardado, {});
          if (e.porIndice) Envia(pq::kSinRecorrido, {});
          if (e.nueva) {
            std::vector<Oid> tipos;
            for (const pq::Parametro& p : parametros) tipos.push_back(p.oid);
            if (!PQsendPrepare(c, e.nombre.c_str(), texto.c_str(), static_cast<int>(tipos.size()),
                               tipos.data()))
              return 0;
          }
          Envia(texto.c_str(), parametros, e.nombre.empty() ? nullptr : e.nombre.c_str());
          if (e.porIndice) Envia(pq::kConRecorrido, {});
          if (e.punto) Envia(kLiberaPunto, {});
          for (const std::string& n : e.liberar) Envia(("deallocate " + n).c_str(), {});
          return PQpipelineSync(c);
        },
        true, esperas_.sentencia, "sentencia", lee);
  } catch (...) {
    if (e.nueva) Olvida(e.nombre);
    throw;
  }
  return e;
}

void ConexionPq::Olvida(const std::string& nombre) {
  // never prepared: the name is not kept
  auto it = std::find_if(preparadas_.begin(), preparadas_.end(),
                         [&](const auto& p) { return p.second == nombre; });
  if (it != preparadas_.end()) preparadas_.erase(it);
}

Resultado ConexionPq::RecibeDeTuberia(const Enviada& e, std::vector<Resultado> rs) {
  (void)PQexitPipelineMode(pg_.get());
  // [savepoint] [set] [prepare] statement [set] [release] deallocate... sync
  std::size_t i = 0;
  const PGresult* fallo = nullptr;
  auto siguiente = [&]() -> Resultado {
    if (i >= rs.size()) LanzaDeResultado(nullptr, e.contexto);
    Resultado r = std::move(rs[i++]);
    const ExecStatusType estado = PQresultStatus(r.get());
    if ((estado == PGRES_FATAL_ERROR || estado == PGRES_BAD_RESPONSE) && !fallo) fallo = r.get();
    return r;
  };
  Resultado guardado = e.punto ? siguiente() : Resultado();
  Resultado sinRecorrido = e.porIndice ? siguiente() : Resultado();
  Resultado preparado = e.nueva ? siguiente() : Resultado();
  if (e.nueva && PQresultStatus(preparado.get()) != PGRES_COMMAND_OK) Olvida(e.nombre);
  Resultado propio = siguiente();
  Resultado conRecorrido = e.porIndice ? siguiente() : Resultado();
  Resultado liberado = e.punto ? siguiente() : Resultado();
  for (const std::string& n : e.liberar) {
    // a release skipped by a failure is sent again with the next statement
    if (i < rs.size() && PQresultStatus(rs[i].get()) == PGRES_COMMAND_OK) {
      auto it = std::find(porLiberar_.begin(), porLiberar_.end(), n);
      if (it != porLiberar_.end()) porLiberar_.erase(it);
    }
    ++i;
  }
  if (fallo) {
    if (e.punto && PQresultStatus(guardado.get()) == PGRES_COMMAND_OK) {
      // the statement undoes only itself, the transaction goes on
      try {
        Simple(kVuelvePunto, "reversión de la sentencia");
      } catch (const ErrorVarlo& error) {
        if (EsConexionPerdida(error)) throw;
      }
    }
    LanzaDeResultado(fallo, e.contexto);
  }
  return propio;
}

void ConexionPq::Simple(const char* sql, const char* que) {
  ExigeAbierta();
  std::vector<Resultado> rs =
      Intercambio([&] { return PQsendQuery(pg_.get(), sql); }, false, esperas_.sentencia, que);
  for (Resultado& r : rs) {
    const ExecStatusType e = PQresultStatus(r.get());
    if (e == PGRES_FATAL_ERROR || e == PGRES_BAD_RESPONSE) LanzaDeResultado(r.get(), sql);
  }
}

void ConexionPq::CopiaFilas(const std::string& tablaSql,
                            const std::vector<std::string>& columnasSql,
                            const std::vector<std::vector<Valor>>& filas) {
  ExigeAbierta();
  const std::string orden = pq::OrdenCopia(tablaSql, columnasSql);
  // the rows first: a value refused here sends nothing
  const std::string datos = pq::DatosCopia(filas);
  PGconn* c = pg_.get();
  // Rows of the same table and columns go on in the copy already open: one
  // copy per transaction costs the server much less than one per batch. It
  // ends well before the server's own bound on a statement would cut it.
  const bool sigue = copiaEnCurso_ && copiaEnCurso_->abierta && copiaEnCurso_->orden == orden &&
                     (esperas_.sentencia.count() <= 0 ||
                      Reloj::now() - copiaEnCurso_->desde < esperas_.sentencia / 3);
  if (!sigue) {
    TerminaEscritura();
    // No savepoint: a refused copy fails the transaction with it, and the
    // caller rolls the batch back and does it again one record per
    // transaction (a savepoint costs the server a subtransaction per copy).
    std::vector<Resultado> rs = Intercambio([&] { return PQsendQuery(c, orden.c_str()); }, false,
                                            esperas_.sentencia, "copia de filas");
    const PGresult* fallo = nullptr;
    for (const Resultado& r : rs)
      if (PQresultStatus(r.get()) != PGRES_COMMAND_OK && PQresultStatus(r.get()) != PGRES_COPY_IN) {
        fallo = r.get();
        break;
      }
    if (fallo || rs.empty() || PQresultStatus(rs.back().get()) != PGRES_COPY_IN)
      LanzaDeResultado(fallo, "Sentencia: " + orden);
    copiaEnCurso_ = CopiaEnCurso{orden, "Sentencia: " + orden, Reloj::now()};
  }
  // The rows only; the server takes them while the next records are
  // processed, and its verdict is read when the copy ends (before the next
  // statement or the commit).
  Intercambio(
      [&] {
        // a server that takes no more rows is cut, as one that does not answer
        const Reloj::time_point desde = Reloj::now();
        const Reloj::time_point plazo =
            desde + esperas_.sentencia + kMargenCancelacion + kMargenCorte;
        constexpr std::size_t kTrozo = 256 * 1024;
        for (std::size_t enviado = 0; enviado < datos.size();) {
          const std::size_t n = std::min(kTrozo, datos.size() - enviado);
          const int r = PQputCopyData(c, datos.data() + enviado, static_cast<int>(n));
          if (r < 0) return 0;
          if (r > 0) {
            enviado += n;
            continue;
          }
          // the send buffer is full: wait until the server takes more
          if (pq::EsperaSocket(PQsocket(c), true, true, plazo) == EstadoSocket::Plazo)
            LanzaSinRespuesta(desde, esperas_.sentencia, "copia de filas");
          if (!PQconsumeInput(c) || PQflush(c) < 0) return 0;
        }
        return 1;
      },
      false, esperas_.sentencia, "copia de filas", false);
}

int ConexionPq::EnviaFinCopia(const char* error) {
  PGconn* c = pg_.get();
  const Reloj::time_point desde = Reloj::now();
  const Reloj::time_point plazo = desde + esperas_.sentencia + kMargenCancelacion + kMargenCorte;
  for (int r; (r = PQputCopyEnd(c, error)) != 1;) {
    if (r < 0) return 0;
    if (pq::EsperaSocket(PQsocket(c), true, true, plazo) == EstadoSocket::Plazo)
      LanzaSinRespuesta(desde, esperas_.sentencia, "copia de filas");
    if (!PQconsumeInput(c) || PQflush(c) < 0) return 0;
  }
  return 1;
}

void ConexionPq::TerminaEscritura(bool abandona) {
  if (consultaEnCurso_) {
    // a query sent and never read (its reader failed before): its result
    // is of no use now, but it must be taken before anything else is sent
    try {
      (void)RecibeConsulta();
    } catch (const ErrorVarlo& e) {
      if (EsConexionPerdida(e)) throw;
    }
  }
  if (sentenciaEnCurso_) {
    const Enviada e = std::move(*sentenciaEnCurso_);
    sentenciaEnCurso_.reset();
    Resultado r =
        RecibeDeTuberia(e, Intercambio([] { return 1; }, true, esperas_.sentencia, "sentencia"));
    // every held row must have been found where it was read
    if (std::atol(PQcmdTuples(r.get())) != e.esperadas)
      throw ErrorVarlo(errores_bd::FilaNoEncontrada, kFuenteBD,
                       "No se encuentra la fila para actualizarla. Algunos valores pueden haber "
                       "cambiado desde la última lectura.");
  }
  if (!copiaEnCurso_) return;
  const CopiaEnCurso copia = std::move(*copiaEnCurso_);
  copiaEnCurso_.reset();
  std::vector<Resultado> rs = Intercambio(
      [&] { return copia.abierta ? EnviaFinCopia(abandona ? "deshecha" : nullptr) : 1; }, false,
      esperas_.sentencia, "copia de filas");
  const PGresult* fallo = nullptr;
  for (const Resultado& r : rs)
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
      fallo = r.get();
      break;
    }
  if (fallo || rs.empty()) LanzaDeResultado(fallo, copia.contexto);
}

template <class F>
auto ConexionPq::EnAparte(F&& llamada) {
  try {
    return llamada();
  } catch (const ErrorVarlo& e) {
    if (!EsConexionPerdida(e)) throw;
    // The server that stopped answering there is this session's too: the
    // run ends as a lost connection, without a second wait for its
    // rollback (the server undoes the transaction when the session goes).
    pq::CortaSocket(PQsocket(pg_.get()));
    LanzaPerdida(e.Descripcion());
  }
}

bool ConexionPq::EnviaConsultaAparte(const SentenciaSql& s) {
  if (!pg_ || perdida_ || !enTransaccion_ || escrituraSuelta_ || !comoAparte_ || aparteImposible_)
    return false;
  if (!aparte_) {
    try {
      aparte_ = std::make_unique<ConexionPq>(conninfo_, visible_, esperas_, true);
    } catch (const ErrorVarlo&) {
      // a server that takes no more sessions, say: the lookups stay here
      aparteImposible_ = true;
      return false;
    }
    rutaAparte_.reset();
  }
  EnAparte([&] {
    if (rutaAparte_ != rutaTransaccion_) {
      aparte_->Consulta(
          {"select pg_catalog.set_config('search_path', ?, false)", {Valor{rutaTransaccion_}}}, 0);
      rutaAparte_ = rutaTransaccion_;
    }
    aparte_->EnviaConsulta(s);
  });
  return true;
}

ResultadoConsulta ConexionPq::RecibeConsultaAparte() {
  if (!aparte_)
    throw ErrorVarlo(errores_bd::FalloProveedor, kFuente, "No se envió ninguna consulta aparte");
  return EnAparte([&] { return aparte_->RecibeConsulta(); });
}

void ConexionPq::EnviaConsulta(const SentenciaSql& s) {
  ExigeAbierta();
  TerminaEscritura();
  std::vector<Resultado> rs;
  consultaEnCurso_ = EnviaEnTuberia(s, false, rs);
}

ResultadoConsulta ConexionPq::RecibeConsulta() {
  if (!consultaEnCurso_)
    throw ErrorVarlo(errores_bd::FalloProveedor, kFuente, "No se envió ninguna consulta");
  const Enviada e = std::move(*consultaEnCurso_);
  consultaEnCurso_.reset();
  const Resultado r =
      RecibeDeTuberia(e, Intercambio([] { return 1; }, true, esperas_.sentencia, "sentencia"));
  return ComoResultado(r.get(), 0);
}

ResultadoConsulta ConexionPq::Consulta(const SentenciaSql& s, long maxRegistros) {
  const Resultado r = Sentencia(s);
  return ComoResultado(r.get(), maxRegistros);
}

ResultadoConsulta ConexionPq::ComoResultado(const PGresult* r, long maxRegistros) {
  ResultadoConsulta resultado;
  if (PQresultStatus(r) != PGRES_TUPLES_OK) return resultado;
  const int columnas = PQnfields(r);
  for (int i = 0; i < columnas; ++i)
    resultado.campos.push_back(pq::InfoDeColumna(PQfname(r, i), PQftype(r, i), PQfmod(r, i)));
  int filas = PQntuples(r);
  if (maxRegistros > 0 && filas > maxRegistros) filas = static_cast<int>(maxRegistros);
  resultado.filas.reserve(static_cast<std::size_t>(filas));
  for (int f = 0; f < filas; ++f) {
    std::vector<Valor> fila;
    fila.reserve(static_cast<std::size_t>(columnas));
    for (int i = 0; i < columnas; ++i) {
      if (PQgetisnull(r, f, i)) {
        fila.emplace_back();
      } else {
        fila.push_back(pq::LeeValor(PQgetvalue(r, f, i), PQgetlength(r, f, i),
                                    resultado.campos[static_cast<std::size_t>(i)].tipo));
      }
    }
    resultado.filas.push_back(std::move(fila));
  }
  return resultado;
}

long ConexionPq::Ejecuta(const SentenciaSql& s) {
  Resultado r = Sentencia(s);
  return std::atol(PQcmdTuples(r.get()));
}

std::vector<std::string> ConexionPq::TablasBase() {
  // The schema the session works in, tables and partitioned tables, by name.
  const ResultadoConsulta r =
      Consulta({"select c.relname from pg_catalog.pg_class c"
                " join pg_catalog.pg_namespace n on n.oid = c.relnamespace"
                " where c.relkind in ('r', 'p') and n.nspname = current_schema()"
                " order by c.relname",
                {}},
               0);
  std::vector<std::string> tablas;
  for (const std::vector<Valor>& fila : r.filas) tablas.push_back(ValorComoTexto(fila.at(0)));
  return tablas;
}

void ConexionPq::IniciaTransaccion() {
  ExigeAbierta();
  TerminaEscritura();
  std::vector<Resultado> rs = Intercambio([&] { return PQsendQuery(pg_.get(), kInicio.c_str()); },
                                          false, esperas_.sentencia, "inicio de una transacción");
  for (Resultado& r : rs) {
    const ExecStatusType e = PQresultStatus(r.get());
    if (e == PGRES_FATAL_ERROR || e == PGRES_BAD_RESPONSE) LanzaDeResultado(r.get(), "begin");
  }
  enTransaccion_ = true;
  escrituraSuelta_ = false;
  const PGresult* sesion = rs.empty() ? nullptr : rs.back().get();
  comoAparte_ = sesion && PQresultStatus(sesion) == PGRES_TUPLES_OK && PQntuples(sesion) == 1 &&
                PQnfields(sesion) == 3 &&
                pq::LeeComoLaSesionDeBusquedas(PQgetvalue(sesion, 0, 1), PQgetvalue(sesion, 0, 2));
  if (comoAparte_) rutaTransaccion_ = PQgetvalue(sesion, 0, 0);
}

void ConexionPq::ConfirmaTransaccion() {
  ExigeAbierta();
  TerminaEscritura();
  std::vector<Resultado> rs = Intercambio([&] { return PQsendQuery(pg_.get(), "commit"); }, false,
                                          esperas_.sentencia, "confirmación de la transacción");
  // A commit that failed (a deferred constraint) ended the transaction all
  // the same: a rollback after it would only draw the server's warning.
  const PGTransactionStatusType estado = PQtransactionStatus(pg_.get());
  enTransaccion_ = estado == PQTRANS_INTRANS || estado == PQTRANS_INERROR;
  for (Resultado& r : rs) {
    const ExecStatusType e = PQresultStatus(r.get());
    if (e == PGRES_FATAL_ERROR || e == PGRES_BAD_RESPONSE) LanzaDeResultado(r.get(), "commit");
  }
  // a transaction the server had aborted answers a commit with a rollback
  if (!rs.empty() && std::string_view(PQcmdStatus(rs.back().get())) == "ROLLBACK")
    throw ErrorBaseDatos(NumeroDeEstado("40000"), kFuente,
                         "El servidor deshizo la transacción en lugar de confirmarla",
                         ErrorBaseDatos::Clase::TransaccionPerdida);
}

void ConexionPq::DeshaceTransaccion() noexcept {
  if (!pg_ || perdida_ || !enTransaccion_) return;
  enTransaccion_ = false;
  try {
    // the copy's verdict does not matter: everything goes
    try {
      TerminaEscritura(true);
    } catch (const ErrorVarlo& e) {
      if (EsConexionPerdida(e)) throw;
    }
    Simple("rollback", "reversión de la transacción");
  } catch (...) {
    // a rollback that fails leaves the transaction to the server, which
    // ends it with the session
  }
}

void ConexionPq::MarcaPunto() {
  ExigeAbierta();
  TerminaEscritura();
  Simple("savepoint varlodi_lote", "punto de guardado del lote");
}

void ConexionPq::LiberaPunto() {
  ExigeAbierta();
  TerminaEscritura();
  Simple("release savepoint varlodi_lote", "punto de guardado del lote");
}

void ConexionPq::VuelveAlPunto() {
  ExigeAbierta();
  // what was still being written goes with the rest
  try {
    TerminaEscritura(true);
  } catch (const ErrorVarlo& e) {
    if (EsConexionPerdida(e)) throw;
  }
  Simple("rollback to savepoint varlodi_lote; release savepoint varlodi_lote",
         "punto de guardado del lote");
}

bool ConexionPq::TransaccionAbiertaEnServidor() {
  if (!enTransaccion_ || !pg_ || perdida_) return false;
  // a copy still running: its verdict, read before the next statement or
  // the commit, says what became of the transaction
  if (copiaEnCurso_ || sentenciaEnCurso_) return true;
  return PQtransactionStatus(pg_.get()) == PQTRANS_INTRANS;
}

void ConexionPq::Cierra() noexcept {
  // PQfinish only sends its goodbye, without waiting for the server
  copiaEnCurso_.reset();
  sentenciaEnCurso_.reset();
  consultaEnCurso_.reset();
  aparte_.reset();
  pg_.reset();
  enTransaccion_ = false;
}

}  // namespace

std::unique_ptr<Backend> AbrePq(const std::string& conninfo, const std::string& visible,
                                const Esperas& esperas) {
  return std::make_unique<ConexionPq>(conninfo, visible, esperas);
}

}  // namespace varlo::db
