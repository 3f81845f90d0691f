#include "db/ConexionGenerica.h"

#include <algorithm>
#include <functional>

#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "common/Texto.h"
#include "db/DialectoBase.h"
#include "db/ErroresBD.h"
#include "db/Identificadores.h"
#include "db/LlaveSuelta.h"
#include "db/RecordsetGenerico.h"
#include "db/TiposAdo.h"

namespace varlo::db {

namespace {
// Keys of a transaction kept to tell whether its rows may be read apart.
constexpr std::size_t kMaximoSueltasTransaccion = 100000;
}  // namespace

ConexionGenerica::ConexionGenerica(std::unique_ptr<Backend> backend)
    : dialecto_(CreaDialecto(backend->MotorBD())) {
  const Motor motor = backend->MotorBD();
  // a dialect of its own: it may write on a thread of its own
  backend_ = std::make_shared<EscriturasDiferidas>(std::move(backend), CreaDialecto(motor));
  // SQLite writes in this process, and psqlODBC waits for the server: both
  // on a thread of their own while the records go on. libpq sends without
  // waiting by itself; SQL Server's driver is left as it was (not measured).
  backend_->EnSegundoPlano(motor == Motor::SQLite ||
                           (motor == Motor::PostgreSql && !backend_->EscribeSinEsperar()));
}

// Where a statement costs more than a record's own work: a round trip to
// PostgreSQL or SQL Server, a statement of its own in SQLite.
void ConexionGenerica::DifiereInserciones(bool activa) {
  const Motor m = backend_->MotorBD();
  backend_->Activa(activa &&
                   (m == Motor::PostgreSql || m == Motor::SQLite || m == Motor::SqlServer));
}

int ConexionGenerica::State() const {
  return backend_->Abierta() ? 1 : 0;
}

void ConexionGenerica::CompruebaAbierta() const {
  if (!backend_->Abierta())
    throw ErrorVarlo(errores_bd::ObjetoCerrado, kFuenteBD,
                     "La operación no está permitida si el objeto está cerrado.");
}

void ConexionGenerica::Execute(const std::string& sql) {
  CompruebaAbierta();
  ++epoca_;
  OlvidaCatalogo();
  backend_->Ejecuta(SentenciaSql{sql, {}});
}

namespace {
// A catalog name as the definitions file writes it; the parts of a
// two-part name each on its own.
std::string ComoEscritas(const std::vector<std::string>& partes) {
  std::string r;
  for (const std::string& p : partes) r += (r.empty() ? "" : ".") + ComoEscrito(p);
  return r;
}

// The column of the catalog a name given (brackets stripped) stands for:
// the same spelling first, else the same letters in any case.
const std::string* ColumnaCatalogo(const std::vector<std::string>& columnas,
                                   const std::string& comoEscrito) {
  const std::string nombre = QuitaCorchetes(comoEscrito);
  const std::string* igualSinCaso = nullptr;
  for (const std::string& c : columnas) {
    if (c == nombre) return &c;
    if (!igualSinCaso && IgualSinCaso(c, nombre)) igualSinCaso = &c;
  }
  return igualSinCaso;
}
}  // namespace

const ConexionGenerica::NombresCatalogo& ConexionGenerica::Catalogo(const std::string& tabla) {
  if (auto it = catalogo_.find(tabla); it != catalogo_.end()) return it->second;
  NombresCatalogo n;
  const std::vector<std::string> partes = PartesNombre(tabla);
  if (auto real = backend_->NombreCatalogo(partes); real && real->size() == partes.size())
    n.tabla = ComoEscritas(*real);
  else
    n.tabla = ComoEscritas(partes);
  // the columns as the database reports them: a query that reads no row
  Consulta sonda;
  sonda.top = 0;
  sonda.tabla = n.tabla;
  ResultadoConsulta r = backend_->Consulta(dialecto_->Select(sonda), 1);
  for (const InfoCampo& campo : r.campos) n.columnas.push_back(campo.nombre);
  if (catalogo_.size() >= 256) OlvidaCatalogo();
  return catalogo_.emplace(tabla, std::move(n)).first->second;
}

void ConexionGenerica::OlvidaCatalogo() {
  camposLote_.reset();
  catalogo_.clear();
  ultimaConsulta_.reset();
  ++generacion_;
}

bool ConexionGenerica::MismosNombres(const NombresConsulta& n, const Consulta& c) {
  if (n.tabla != c.tabla || n.columnas != c.columnas ||
      n.condiciones.size() != c.condiciones.size())
    return false;
  for (std::size_t k = 0; k < n.condiciones.size(); ++k)
    if (n.condiciones[k] != c.condiciones[k].columna) return false;
  return true;
}

Consulta ConexionGenerica::EnCatalogo(const Consulta& consulta, bool compruebaValores) {
  // a key value the query cannot take is refused under the name as given
  if (compruebaValores)
    for (const Predicado& p : consulta.condiciones) (void)ValorDeCondicion(p);
  if (ultimaConsulta_ && MismosNombres(ultimaConsulta_->first, consulta)) {
    // built from the parts, so that no name is copied twice per record
    const NombresConsulta& real = ultimaConsulta_->second;
    Consulta c;
    c.select = consulta.select;
    c.top = consulta.top;
    c.columnas = real.columnas;
    c.from = consulta.from;
    c.tabla = real.tabla;
    c.where = consulta.where;
    c.condiciones.reserve(consulta.condiciones.size());
    for (std::size_t k = 0; k < consulta.condiciones.size(); ++k) {
      const Predicado& p = consulta.condiciones[k];
      c.condiciones.push_back(Predicado{real.condiciones[k], p.clase, p.valor, p.igual});
    }
    return c;
  }
  Consulta c = consulta;
  const NombresCatalogo& n = Catalogo(consulta.tabla);
  c.tabla = n.tabla;
  // a name the table does not have stays as given: the database says so
  for (std::string& columna : c.columnas)
    if (const std::string* real = ColumnaCatalogo(n.columnas, columna))
      columna = ComoEscrito(*real);
  for (Predicado& p : c.condiciones)
    if (const std::string* real = ColumnaCatalogo(n.columnas, p.columna))
      p.columna = ComoEscrito(*real);
  auto nombres = [](const Consulta& q) {
    NombresConsulta r{q.tabla, q.columnas, {}};
    for (const Predicado& p : q.condiciones) r.condiciones.push_back(p.columna);
    return r;
  };
  ultimaConsulta_.emplace(nombres(consulta), nombres(c));
  ++generacion_;
  return c;
}

std::string ConexionGenerica::NombreTabla(const std::string& comoEscrito) {
  CompruebaAbierta();
  return Catalogo(comoEscrito).tabla;
}

bool ConexionGenerica::TieneLocalizador(const std::string& tabla) {
  if (dialecto_->ColumnasLocalizador() == 0) return false;
  // every lookup of a table asks again: its answer is kept by the name as given
  if (ultimoLocalizador_ && ultimoLocalizador_->first == tabla) return ultimoLocalizador_->second;
  const std::string tablaSql = dialecto_->Identificador(tabla);
  auto it = localizadores_.find(tablaSql);
  if (it == localizadores_.end()) {
    std::optional<bool> tiene = backend_->TieneLocalizador(tablaSql);
    if (!tiene) return false;  // asked again once the table exists
    it = localizadores_.emplace(tablaSql, *tiene).first;
  }
  ultimoLocalizador_.emplace(tabla, it->second);
  return it->second;
}

ResultadoConsulta ConexionGenerica::Lee(const Consulta& consulta, bool conLocalizador,
                                        long maxRegistros) {
  return backend_->Consulta(
      conLocalizador ? dialecto_->SelectConLocalizador(consulta) : dialecto_->Select(consulta),
      maxRegistros);
}

std::unique_ptr<Recordset> ConexionGenerica::AbreConsulta(const db::Consulta& dada,
                                                          long maxRegistros) {
  CompruebaAbierta();
  Consulta consulta = EnCatalogo(dada);
  // Every row read carries its locator, so that its update reaches that row only.
  const bool conLocalizador = TieneLocalizador(consulta.tabla);
  if (consulta.tabla == tablaAnticipada_) {
    std::vector<Valor> valores;
    for (const Predicado& p : consulta.condiciones) valores.push_back(ValorDeCondicion(p));
    NotaLlaveLeida(consulta, valores);
  }
  ResultadoConsulta r = Lee(consulta, conLocalizador, maxRegistros);
  auto escritos = Escritos(r.campos);
  auto rs = std::make_unique<RecordsetGenerico>(backend_, dialecto_, std::move(consulta),
                                                std::move(r), conLocalizador, std::move(escritos));
  rs->EstableceGeneracion(generacion_);
  return rs;
}

RecordsetGenerico* ConexionGenerica::Reutilizable(Recordset* anterior, const Consulta& dada) {
  auto* rs = dynamic_cast<RecordsetGenerico*>(anterior);
  if (!rs || !ultimaConsulta_ || !rs->Reutilizable(backend_.get(), generacion_) ||
      !MismosNombres(ultimaConsulta_->first, dada))
    return nullptr;
  return rs;
}

std::unique_ptr<Recordset> ConexionGenerica::ReabreConsulta(const db::Consulta& dada,
                                                            long maxRegistros,
                                                            std::unique_ptr<Recordset> anterior) {
  RecordsetGenerico* rs = Reutilizable(anterior.get(), dada);
  if (!rs) return AbreConsulta(dada, maxRegistros);
  CompruebaAbierta();
  // a key value the query cannot take is refused under the name as given
  llavesRegistro_.clear();
  for (const Predicado& p : dada.condiciones) llavesRegistro_.push_back(ValorDeCondicion(p));
  const Consulta* consulta = rs->ConsultaConValores(dada);
  if (!consulta) return AbreConsulta(dada, maxRegistros);
  const bool conLocalizador = TieneLocalizador(consulta->tabla);
  if (consulta->tabla == tablaAnticipada_) NotaLlaveLeida(*consulta, llavesRegistro_);
  ResultadoConsulta r = Lee(*consulta, conLocalizador, maxRegistros);
  if (rs->Reabre(r.campos, std::move(r.filas), conLocalizador))
    rs->EstableceEscritos(Escritos(r.campos));
  return anterior;
}

std::unique_ptr<Recordset> ConexionGenerica::ReabreConsultaLeida(
    const Consulta& dada, std::unique_ptr<Recordset> anterior, const std::vector<InfoCampo>& campos,
    std::vector<std::vector<Valor>> filas, unsigned long version) {
  CompruebaAbierta();
  backend_->EscribeSiSonMuchas();
  RecordsetGenerico* rs = Reutilizable(anterior.get(), dada);
  const Consulta* consulta = rs ? rs->ConsultaConValores(dada) : nullptr;
  if (!consulta) {
    // the first lookup of the table: a row set of its own, over those rows
    Consulta c = EnCatalogo(dada);
    const bool conLocalizador = TieneLocalizador(c.tabla);
    auto nuevo = std::make_unique<RecordsetGenerico>(backend_, dialecto_, std::move(c),
                                                     ResultadoConsulta{campos, std::move(filas)},
                                                     conLocalizador, Escritos(campos));
    nuevo->EstableceGeneracion(generacion_);
    return nuevo;
  }
  if (rs->Reabre(campos, std::move(filas), TieneLocalizador(consulta->tabla), version))
    rs->EstableceEscritos(Escritos(campos));
  return anterior;
}

std::shared_ptr<const std::vector<std::string>> ConexionGenerica::Escritos(
    const std::vector<InfoCampo>& campos) {
  bool mismos = escritos_ && nombresLeidos_.size() == campos.size();
  for (std::size_t i = 0; mismos && i < campos.size(); ++i)
    mismos = nombresLeidos_[i] == campos[i].nombre;
  if (mismos) return escritos_;
  nombresLeidos_.clear();
  std::vector<std::string> escritos;
  for (const InfoCampo& c : campos) {
    nombresLeidos_.push_back(c.nombre);
    escritos.push_back(ComoEscrito(c.nombre));
  }
  escritos_ = std::make_shared<const std::vector<std::string>>(std::move(escritos));
  return escritos_;
}

bool ConexionGenerica::AnticipaBusquedas(const Consulta& modelo) const {
  if (modelo.condiciones.empty()) return false;
  // a probe key the dialect can write for those classes (a number key is checked)
  std::vector<Valor> sonda;
  for (const Predicado& p : modelo.condiciones) {
    switch (p.clase) {
      case ClaseLiteral::Numero:
        sonda.emplace_back(std::int64_t{0});
        break;
      case ClaseLiteral::Fecha:
      case ClaseLiteral::FechaHora:
        sonda.emplace_back(ComponeFechaExacta(2000, 1, 1));
        break;
      case ClaseLiteral::Texto:
        sonda.emplace_back(std::string());
        break;
    }
  }
  return dialecto_->SelectVarias(modelo, sonda, false).has_value();
}

std::optional<std::pair<Consulta, std::vector<std::size_t>>> ConexionGenerica::Estrecha(
    const Consulta& modelo, const std::vector<std::string>& leidas) const {
  if (!camposLote_ || camposLote_->tabla != modelo.tabla ||
      camposLote_->columnas != modelo.columnas || modelo.columnas.empty())
    return std::nullopt;
  const std::vector<InfoCampo>& campos = camposLote_->campos;
  const auto nombrada = [](const std::vector<std::string>& nombres, const std::string& columna) {
    return std::any_of(nombres.begin(), nombres.end(), [&](const std::string& n) {
      return IgualSinCaso(QuitaCorchetes(n), QuitaCorchetes(columna));
    });
  };
  std::vector<std::string> llaves;
  for (const Predicado& p : modelo.condiciones) llaves.push_back(p.columna);
  std::pair<Consulta, std::vector<std::size_t>> r{modelo, {}};
  r.first.columnas.clear();
  for (std::size_t i = 0; i < modelo.columnas.size(); ++i) {
    const std::string& c = modelo.columnas[i];
    if (nombrada(llaves, c) || nombrada(leidas, c) || EsTipoBinario(campos[i].tipo)) {
      r.first.columnas.push_back(c);
      r.second.push_back(i);
    }
  }
  if (r.first.columnas.size() == modelo.columnas.size()) return std::nullopt;
  return r;
}

std::optional<LoteLeido> ConexionGenerica::BuscaLote(const Consulta& dado,
                                                     const std::vector<Valor>& llaves,
                                                     const std::vector<std::string>* leidas) {
  CompruebaAbierta();
  if (!AnticipaBusquedas(dado)) return std::nullopt;
  Consulta modelo = EnCatalogo(dado, false);
  tablaAnticipada_ = modelo.tabla;
  const std::size_t n = modelo.condiciones.size();
  if (llaves.size() % n != 0) return std::nullopt;
  // The records of one batch may give a date with or without its time: all
  // are read with it, which a date alone has at midnight.
  for (Predicado& p : modelo.condiciones)
    if (p.clase == ClaseLiteral::Fecha) p.clase = ClaseLiteral::FechaHora;
  // Keys its own lookup would refuse are left to it, with its reason.
  std::vector<Valor> validas;
  validas.reserve(llaves.size());
  std::vector<Predicado> partes = modelo.condiciones;
  for (std::size_t i = 0; i < llaves.size(); i += n) {
    const std::size_t antes = validas.size();
    try {
      for (std::size_t k = 0; k < n; ++k) {
        partes[k].valor = llaves[i + k];
        validas.push_back(ValorDeCondicion(partes[k]));
      }
    } catch (const ErrorVarlo&) {
      validas.resize(antes);
    }
  }
  if (validas.empty()) return std::nullopt;
  // Written as a date alone where no key has a time, as its own lookup
  // writes it (SQL Server compares a date column with a date literal).
  for (std::size_t k = 0; k < n; ++k) {
    if (modelo.condiciones[k].clase != ClaseLiteral::FechaHora) continue;
    bool conHora = false;
    for (std::size_t i = k; !conHora && i < validas.size(); i += n)
      if (const auto* f = std::get_if<FechaHora>(&validas[i])) conHora = f->TieneHora();
    if (!conHora) modelo.condiciones[k].clase = ClaseLiteral::Fecha;
  }
  const bool conLocalizador = TieneLocalizador(modelo.tabla);
  // Where the backend writes new rows without waiting for the server, the
  // lookups of this batch go before the rows held so far are written when
  // none of those rows can have one of these keys (the rows held are those
  // of the last batch's keys; compared loosely, as a collation might): the
  // server then takes the held rows while these records are processed.
  const bool sinEsperar = backend_->EscribeSinEsperar();
  std::vector<std::string> sueltas;
  sueltas.reserve(validas.size() / n);
  for (std::size_t i = 0; i < validas.size(); i += n)
    sueltas.push_back(SueltaLlave(modelo.condiciones, &validas[i]));
  // Kept as hashes: two keys of one hash only make the held rows go first.
  std::vector<std::size_t> hashes;
  bool plegables = sinEsperar;
  if (plegables) {
    hashes.reserve(sueltas.size());
    for (const std::string& s : sueltas) {
      if (s == kSinPliegue) {
        plegables = false;
        break;
      }
      hashes.push_back(std::hash<std::string>{}(s));
    }
  }
  bool antes = plegables && !sueltasAnteriores_.empty();
  for (std::size_t i = 0; antes && i < hashes.size(); ++i)
    antes = !std::binary_search(sueltasAnteriores_.begin(), sueltasAnteriores_.end(), hashes[i]);
  // Where the backend has a session of its own for lookups, they are read
  // there while this session takes the held rows; that session sees nothing
  // this transaction wrote, so only when no key may be one written by the
  // transaction's earlier batches (the keys of its records are theirs).
  leeAparte_ = leeAparte_ && plegables && backend_->ConsultaAparteAdmitida() &&
               sueltasTransaccion_.size() + hashes.size() <= kMaximoSueltasTransaccion;
  bool aparte = leeAparte_;
  for (std::size_t i = 0; aparte && i < hashes.size(); ++i)
    aparte = !std::binary_search(sueltasTransaccion_.begin(), sueltasTransaccion_.end(), hashes[i]);
  if (!plegables) hashes.clear();  // the next batch writes what is held first
  std::sort(hashes.begin(), hashes.end());
  if (leeAparte_) {
    const auto mitad = static_cast<std::ptrdiff_t>(sueltasTransaccion_.size());
    sueltasTransaccion_.insert(sueltasTransaccion_.end(), hashes.begin(), hashes.end());
    std::inplace_merge(sueltasTransaccion_.begin(), sueltasTransaccion_.begin() + mitad,
                       sueltasTransaccion_.end());
  }
  sueltasAnteriores_ = std::move(hashes);
  // Keys per query: well below any limit of markers per statement, a key of
  // several columns taking one per column.
  const std::size_t porConsulta = std::clamp<std::size_t>(2000 / n, 1, 1000) * n;
  // Keys of several columns, or dates, go as one array per column where the
  // catalog gives the columns' types: no text the server must plan per key.
  const bool compuesta =
      n > 1 ||
      std::any_of(modelo.condiciones.begin(), modelo.condiciones.end(), [](const Predicado& p) {
        return p.clase != ClaseLiteral::Texto && p.clase != ClaseLiteral::Numero;
      });
  const TiposTabla* tipos = compuesta ? backend_->Tipos(modelo.tabla) : nullptr;
  // The other columns cost SQLite a visit to the table past the key's index,
  // and ODBC a call per value read
  std::optional<std::pair<Consulta, std::vector<std::size_t>>> estrecha;
  if (leidas) estrecha = Estrecha(modelo, *leidas);
  const Consulta& leida = estrecha ? estrecha->first : modelo;
  ResultadoConsulta todas;
  bool escritas = false;
  for (std::size_t desde = 0; desde < validas.size(); desde += porConsulta) {
    const std::vector<Valor> parte(validas.begin() + static_cast<std::ptrdiff_t>(desde),
                                   validas.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                         validas.size(), desde + porConsulta)));
    std::optional<SentenciaSql> s;
    if (tipos) s = dialecto_->SelectVariasArreglos(leida, parte, conLocalizador, tipos->tipos);
    if (!s) s = dialecto_->SelectVarias(leida, parte, conLocalizador);
    ResultadoConsulta r;
    if (aparte && backend_->EnviaConsultaAparte(*s)) {
      // the held rows go while the server reads the lookup
      if (!escritas) backend_->Escribe();
      escritas = true;
      r = backend_->RecibeConsultaAparte();
    } else {
      aparte = false;
      r = antes ? backend_->ConsultaAntesDeEscribir(*s, 0) : backend_->Consulta(*s, 0);
    }
    if (todas.campos.empty()) todas.campos = std::move(r.campos);
    for (auto& fila : r.filas) todas.filas.push_back(std::move(fila));
  }
  if (antes && !escritas) backend_->Escribe();
  if (estrecha) {
    // each row given every field: the columns not read are left null
    const std::vector<InfoCampo>& campos = camposLote_->campos;
    const std::vector<std::size_t>& lugares = estrecha->second;
    const std::size_t propias = modelo.columnas.size();
    const std::size_t ancho = lugares.size() + campos.size() - propias;
    if (todas.campos.size() != ancho) return std::nullopt;  // its records look themselves up
    for (std::vector<Valor>& fila : todas.filas) {
      if (fila.size() != ancho) return std::nullopt;
      std::vector<Valor> entera(campos.size());
      for (std::size_t j = 0; j < fila.size(); ++j)
        entera[j < lugares.size() ? lugares[j] : propias + j - lugares.size()] = std::move(fila[j]);
      fila = std::move(entera);
    }
    todas.campos = campos;
  } else if (!todas.filas.empty() && !modelo.columnas.empty() &&
             todas.campos.size() ==
                 modelo.columnas.size() + (conLocalizador ? dialecto_->ColumnasLocalizador() : 0)) {
    camposLote_ = CamposLote{modelo.tabla, modelo.columnas, todas.campos};
  }
  return LoteLeido{std::move(validas), std::move(sueltas), std::move(todas),
                   conLocalizador ? dialecto_->ColumnasLocalizador() : 0, epoca_};
}

void ConexionGenerica::NotaLlaveLeida(const Consulta& consulta, const std::vector<Valor>& valores) {
  if (!backend_->EscribeSinEsperar() || !backend_->EnTransaccion() ||
      valores.size() != consulta.condiciones.size() || valores.empty() ||
      (sueltasAnteriores_.empty() && !leeAparte_))
    return;
  const std::string suelta = SueltaLlave(consulta.condiciones, valores.data());
  const std::size_t h = std::hash<std::string>{}(suelta);
  // A key of the last batch (a repeated line) leaves the rows held since
  // that batch its keys' rows; any other makes them no longer only that
  // batch's.
  if (suelta == kSinPliegue ||
      !std::binary_search(sueltasAnteriores_.begin(), sueltasAnteriores_.end(), h))
    sueltasAnteriores_.clear();
  if (!leeAparte_) return;
  if (suelta == kSinPliegue || sueltasTransaccion_.size() >= kMaximoSueltasTransaccion) {
    leeAparte_ = false;
    return;
  }
  const auto donde = std::lower_bound(sueltasTransaccion_.begin(), sueltasTransaccion_.end(), h);
  if (donde == sueltasTransaccion_.end() || *donde != h) sueltasTransaccion_.insert(donde, h);
}

void ConexionGenerica::OlvidaTransaccion() noexcept {
  ++epoca_;
  sueltasTransaccion_.clear();
  leeAparte_ = true;
}

std::vector<std::string> ConexionGenerica::TablasBase() {
  CompruebaAbierta();
  return backend_->TablasBase();
}

void ConexionGenerica::BeginTrans() {
  CompruebaAbierta();
  OlvidaTransaccion();
  backend_->IniciaTransaccion();
}

void ConexionGenerica::CommitTrans() {
  CompruebaAbierta();
  OlvidaTransaccion();
  backend_->ConfirmaTransaccion();
}

void ConexionGenerica::RollbackTrans() noexcept {
  OlvidaTransaccion();
  if (backend_->Abierta()) backend_->DeshaceTransaccion();
}

void ConexionGenerica::MarcaPunto() {
  CompruebaAbierta();
  backend_->MarcaPunto();
}

void ConexionGenerica::LiberaPunto() {
  CompruebaAbierta();
  backend_->LiberaPunto();
}

void ConexionGenerica::MarcaPuntoTrasEscribir() {
  CompruebaAbierta();
  backend_->MarcaPuntoTrasEscribir();
}

// Rows read since are no longer served: what they were read with may be
// undone. The keys the transaction wrote stay noted (those before the
// savepoint are still its own).
void ConexionGenerica::VuelveAlPunto() {
  CompruebaAbierta();
  ++epoca_;
  backend_->VuelveAlPunto();
}

bool ConexionGenerica::EnTransaccion() const {
  return backend_->Abierta() && backend_->EnTransaccion();
}

bool ConexionGenerica::TransaccionSigueAbierta() {
  return backend_->Abierta() && backend_->TransaccionAbiertaEnServidor();
}

void ConexionGenerica::Close() {
  OlvidaTransaccion();
  if (backend_->Abierta()) backend_->Cierra();
}

}  // namespace varlo::db
