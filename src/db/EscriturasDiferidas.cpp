#include "db/EscriturasDiferidas.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/DialectoBase.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErrorDeCorrida.h"
#include "db/ErroresBD.h"
#include "db/LlaveSuelta.h"

namespace varlo::db {

EscriturasDiferidas::EscriturasDiferidas(std::unique_ptr<Backend> backend,
                                         std::shared_ptr<const Dialecto> dialecto)
    : backend_(std::move(backend)), dialecto_(std::move(dialecto)) {}

EscriturasDiferidas::~EscriturasDiferidas() {
  try {
    Termina();
  } catch (...) {
    // nothing of it is kept
  }
}

void EscriturasDiferidas::Activa(bool activa) {
  if (!activa) EscribeAhora();
  activas_ = activa;
}

void EscriturasDiferidas::Termina() {
  if (!enCurso_.valid()) return;
  // Freed here: memory that one thread frees while the other allocates
  // makes both wait for the allocator's lock.
  struct Libera {
    std::vector<Escritura>& v;
    ~Libera() { v.clear(); }
  } libera{escribiendo_};
  // get() leaves the future empty, also when it raises
  enCurso_.get();
}

void EscriturasDiferidas::Espera() {
  if (enCurso_.valid()) ConVeredicto([this] { Termina(); });
}

void EscriturasDiferidas::Veredicto() {
  Espera();
  if (!sinVeredicto_) return;
  sinVeredicto_ = false;
  ConVeredicto([this] { backend_->EsperaEscrituras(); });
}

void EscriturasDiferidas::ConVeredicto(const std::function<void()>& escribe) {
  try {
    escribe();
  } catch (...) {
    // nothing is owed any more, whatever it was
    sinVeredicto_ = false;
    RelanzaSiEsDeCorrida();
    Rechaza(ErrorCapturado());
  }
}

void EscriturasDiferidas::Rechaza(const ErrorVarlo& e) {
  if (!rechazo_) rechazo_ = e;
  retenidas_.clear();
  bytesRetenidos_ = 0;
  sinVeredicto_ = false;
  // What the transaction holds is lost with the refusal (a refused copy
  // aborts it on PostgreSQL): the record in progress goes on in an empty
  // one and is done again with its batch.
  if (!transaccion_) return;
  const bool enPunto = punto_;
  try {
    // inside a savepoint only what followed it goes: the transaction's
    // earlier work (a table's delete) stays
    if (enPunto) {
      backend_->VuelveAlPunto();
      backend_->MarcaPunto();
      return;
    }
    marcados_ = 0;
    backend_->DeshaceTransaccion();
    backend_->IniciaTransaccion();
  } catch (const ErrorVarlo& inicio) {
    if (EsClaseDeCorrida(ClaseDe(inicio))) throw;
    // Outside a transaction the rest of the record would commit by itself:
    // the batch is lost, and done again from its first record.
    transaccion_ = punto_ = false;
    // a savepoint gone: the refusal took the whole transaction with it
    if (enPunto)
      throw ErrorBaseDatos(
          e.Numero(), e.Fuente(),
          "La base de datos deshizo la transacción en curso (" + e.Descripcion() + ")",
          ErrorBaseDatos::Clase::TransaccionPerdida);
    throw ErrorBaseDatos(inicio.Numero(), inicio.Fuente(), inicio.Descripcion(),
                         ErrorBaseDatos::Clase::TransaccionPerdida);
  }
}

bool EscriturasDiferidas::CabenBytes(const std::vector<std::pair<std::string, Valor>>& valores,
                                     bool nueva) {
  std::size_t bytes = 0;
  for (const auto& [columna, v] : valores)
    if (const auto* b = std::get_if<Bytes>(&v)) bytes += b->size();
  if (bytes == 0) return true;
  const bool llevaBytes =
      dialecto_->EscribeVariasConBytes() || (nueva && backend_->CopiaFilasAdmitida());
  if (!llevaBytes || bytesRetenidos_ + bytes > kBytesRetenidos) return false;
  bytesRetenidos_ += bytes;
  return true;
}

bool EscriturasDiferidas::Difiere(const std::string& tabla,
                                  std::vector<std::pair<std::string, Valor>>& valores) {
  if (!activas_ || !transaccion_ || valores.empty() || !CabenBytes(valores, true)) return false;
  Escritura e;
  e.fila = {tabla, std::move(valores)};
  retenidas_.push_back(std::move(e));
  return true;
}

bool EscriturasDiferidas::DifiereActualizacion(ActualizacionDiferible& a) {
  if (!activas_ || !transaccion_ || a.valores.empty() || !dialecto_->ActualizaVariasAdmite(a) ||
      !CabenBytes(a.valores, false))
    return false;
  Escritura e;
  e.nueva = false;
  e.cambio = std::move(a);
  retenidas_.push_back(std::move(e));
  return true;
}

bool EscriturasDiferidas::MismasColumnas(const Escritura& a, const Escritura& b) {
  if (a.nueva != b.nueva) return false;
  const auto mismosNombres = [](const auto& x, const auto& y) {
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
      if (x[i].first != y[i].first) return false;
    return true;
  };
  if (a.nueva) return a.fila.tabla == b.fila.tabla && mismosNombres(a.fila.valores, b.fila.valores);
  const ActualizacionDiferible &x = a.cambio, &y = b.cambio;
  if (x.tabla != y.tabla || x.tipos != y.tipos || !mismosNombres(x.valores, y.valores) ||
      x.condiciones.size() != y.condiciones.size() || PorLlaves(a) != PorLlaves(b))
    return false;
  for (std::size_t k = 0; k < x.condiciones.size(); ++k)
    if (x.condiciones[k].columna != y.condiciones[k].columna ||
        !MismaClase(x.condiciones[k].clase, y.condiciones[k].clase))
      return false;
  return true;
}

void EscriturasDiferidas::EscribeGrupo(std::vector<Escritura>& escrituras, std::size_t desde,
                                       std::size_t hasta, bool copia) {
  const Escritura& primera = escrituras[desde];
  if (primera.nueva) {
    std::vector<std::string> columnas;
    for (const auto& [columna, v] : primera.fila.valores) columnas.push_back(columna);
    std::vector<std::vector<Valor>> valores;
    valores.reserve(hasta - desde);
    for (std::size_t i = desde; i < hasta; ++i) {
      std::vector<Valor> fila;
      fila.reserve(columnas.size());
      for (auto& [columna, v] : escrituras[i].fila.valores)
        fila.push_back(copia ? Valor(v) : std::move(v));
      valores.push_back(std::move(fila));
    }
    const TiposTabla* tipos = TiposDe(primera.fila.tabla);
    if (backend_->ArreglosAdmitidos() && tipos) {
      if (const std::optional<SentenciaArreglos> a = dialecto_->InsertVariasArreglos(
              primera.fila.tabla, columnas, valores, tipos->tipos)) {
        backend_->EjecutaArreglos(a->texto, a->columnas);
        return;
      }
    }
    backend_->Ejecuta(
        dialecto_->InsertVarias(primera.fila.tabla, columnas, std::move(valores), tipos));
    return;
  }
  std::vector<ActualizacionDiferible> cambios;
  cambios.reserve(hasta - desde);
  for (std::size_t i = desde; i < hasta; ++i) cambios.push_back(std::move(escrituras[i].cambio));
  // Given back once written, for the thread that made them to free them
  // (the statements take copies of the values).
  struct Devuelve {
    std::vector<ActualizacionDiferible>& cambios;
    std::vector<Escritura>& escrituras;
    std::size_t desde;
    bool copia;
    ~Devuelve() {
      if (copia)
        for (std::size_t i = 0; i < cambios.size(); ++i)
          escrituras[desde + i].cambio = std::move(cambios[i]);
    }
  } devuelve{cambios, escrituras, desde, copia};
  // Every row must have been found where it was read; a row another writer
  // changed meanwhile sends the batch back to one record at a time.
  const auto confirma = [](std::size_t confirmadas, std::size_t esperadas) {
    if (confirmadas != esperadas)
      throw ErrorVarlo(errores_bd::FilaNoEncontrada, kFuenteBD,
                       "No se encuentra la fila para actualizarla. Algunos valores pueden haber "
                       "cambiado desde la última lectura.");
  };
  // Where the order of the rows could show, one statement takes them only
  // guarded against it (unique indexes of known columns); else one by one.
  const OrdenTabla& orden = OrdenDe(cambios.front());
  if (cambios.size() > 1 && !dialecto_->CambiosEnOrden() && orden.orden != Orden::PorLlaves) {
    std::optional<long> n;
    if (orden.orden == Orden::NuevasPrimero && orden.conocidos)
      n = ActualizaPorArreglos(cambios, &orden.indices);
    if (n) return confirma(static_cast<std::size_t>(*n), cambios.size());
    for (const ActualizacionDiferible& cambio : cambios) confirma(EscribeCambios({cambio}), 1);
    return;
  }
  confirma(EscribeCambios(cambios), cambios.size());
}

std::size_t EscriturasDiferidas::EscribeCambios(
    const std::vector<ActualizacionDiferible>& cambios) {
  std::optional<long> porFilas;
  if (const std::optional<long> n = ActualizaPorArreglos(cambios, nullptr))
    return static_cast<std::size_t>(*n);
  if (const auto p = dialecto_->ActualizaPorFilas(cambios);
      p && (porFilas = backend_->EjecutaPorFilas(p->texto, p->filas)))
    return static_cast<std::size_t>(*porFilas);
  const std::string& tabla = cambios.front().tabla;
  std::optional<SentenciaSql> s = dialecto_->ActualizaVarias(cambios, TiposDe(tabla));
  if (!s)
    throw ErrorVarlo(errores::ErrorEnComando, kFuenteBD,
                     "No se pueden escribir juntos los cambios de " + tabla);
  return dialecto_->ActualizaVariasCuentaFilas() ? static_cast<std::size_t>(backend_->Ejecuta(*s))
                                                 : backend_->Consulta(*s, 0).filas.size();
}

std::optional<long> EscriturasDiferidas::ActualizaPorArreglos(
    const std::vector<ActualizacionDiferible>& cambios,
    const std::vector<std::vector<std::string>>* indices) {
  if (!backend_->ArreglosAdmitidos()) return std::nullopt;
  const TiposTabla* tipos = TiposDe(cambios.front().tabla);
  if (!tipos) return std::nullopt;
  const std::optional<SentenciaArreglos> a =
      indices ? dialecto_->ActualizaVariasEnOrden(cambios, *indices, tipos->tipos)
              : dialecto_->ActualizaVariasArreglos(cambios, tipos->tipos);
  if (!a) return std::nullopt;
  // the backend then checks the count itself, with the next call
  const auto esperadas = static_cast<long>(cambios.size());
  if (backend_->EjecutaArreglosSinEsperar(a->texto, a->columnas, esperadas)) return esperadas;
  return backend_->EjecutaArreglos(a->texto, a->columnas);
}

const TiposTabla* EscriturasDiferidas::TiposDe(const std::string& tabla) {
  auto tipos = tiposColumnas_.find(tabla);
  if (tipos == tiposColumnas_.end()) {
    const std::optional<SentenciaSql> consulta = dialecto_->TiposColumnas(tabla);
    if (!consulta) return nullptr;
    TiposTabla t;
    for (const std::vector<Valor>& fila : backend_->Consulta(*consulta, 0).filas) {
      if (fila.size() < 3) continue;
      const std::string nombre = ValorComoTexto(fila[0]), tipo = ValorComoTexto(fila[1]);
      t.tipos.emplace(nombre, tipo);
      if (ValorComoTexto(fila[2]) != "0") t.json.emplace(nombre, tipo);
      if (fila.size() > 3 && ValorComoTexto(fila[3]) == "1") t.nulasSiFaltan.insert(nombre);
      if (fila.size() > 4 && ValorComoTexto(fila[4]) == "1") t.reglas = true;
    }
    tipos = tiposColumnas_.emplace(tabla, std::move(t)).first;
  }
  return &tipos->second;
}

void EscriturasDiferidas::Escribe() {
  Espera();
  // the backend's verdict, where it writes without waiting, comes later
  if (!segundoPlano_) return EscribeRetenidas();
  if (retenidas_.empty()) return;
  // the thread frees nothing of what this one allocated (EscribeGrupo)
  escribiendo_ = std::exchange(retenidas_, {});
  bytesRetenidos_ = 0;
  enCurso_ = std::async(std::launch::async, [this] { EscribeTodas(escribiendo_, true); });
}

void EscriturasDiferidas::EscribeAhora() {
  Veredicto();
  EscribeRetenidas();
  Veredicto();
}

void EscriturasDiferidas::EscribeRetenidas() {
  if (retenidas_.empty()) return;
  std::vector<Escritura> escrituras = std::exchange(retenidas_, {});
  bytesRetenidos_ = 0;
  sinVeredicto_ = backend_->EscribeSinEsperar();
  ConVeredicto([&] { EscribeTodas(escrituras, false); });
}

std::size_t EscriturasDiferidas::EscribeCopia(std::vector<Escritura>& escrituras, std::size_t desde,
                                              bool copia) {
  const std::string& tabla = escrituras[desde].fila.tabla;
  const TiposTabla* tipos = TiposDe(tabla);
  const auto nulaSiFalta = [tipos](const std::string& columna) {
    return tipos && tipos->nulasSiFaltan.contains(columna);
  };
  std::vector<std::string> columnas;
  for (const auto& [columna, v] : escrituras[desde].fila.valores) columnas.push_back(columna);
  // A row joins while the columns that it or the rows before it leave out
  // are stored as NULL when left out: written as NULL, they mean the same.
  std::size_t hasta = desde + 1;
  for (; hasta < escrituras.size(); ++hasta) {
    const Escritura& e = escrituras[hasta];
    if (!e.nueva || e.fila.tabla != tabla) break;
    // most rows have the columns of the copy, in its order
    if (std::equal(e.fila.valores.begin(), e.fila.valores.end(), columnas.begin(), columnas.end(),
                   [](const auto& p, const std::string& c) { return p.first == c; }))
      continue;
    const auto enCopia = [&columnas](const std::string& c) {
      return std::find(columnas.begin(), columnas.end(), c) != columnas.end();
    };
    const auto enFila = [&e](const std::string& c) {
      return std::any_of(e.fila.valores.begin(), e.fila.valores.end(),
                         [&c](const auto& p) { return p.first == c; });
    };
    std::vector<std::string> nuevas;
    for (const auto& [columna, v] : e.fila.valores)
      if (!enCopia(columna)) nuevas.push_back(columna);
    if (!std::all_of(nuevas.begin(), nuevas.end(), nulaSiFalta) ||
        !std::all_of(columnas.begin(), columnas.end(),
                     [&](const std::string& c) { return enFila(c) || nulaSiFalta(c); }))
      break;
    columnas.insert(columnas.end(), nuevas.begin(), nuevas.end());
  }
  std::vector<std::vector<Valor>> valores;
  valores.reserve(hasta - desde);
  for (std::size_t i = desde; i < hasta; ++i) {
    std::vector<Valor> fila(columnas.size());
    std::size_t c = 0;
    for (auto& [columna, v] : escrituras[i].fila.valores) {
      // the row's columns come in the order of the first ones most often
      if (c >= columnas.size() || columnas[c] != columna)
        c = static_cast<std::size_t>(std::find(columnas.begin(), columnas.end(), columna) -
                                     columnas.begin());
      fila[c++] = copia ? Valor(v) : std::move(v);
    }
    valores.push_back(std::move(fila));
  }
  std::vector<std::string> columnasSql;
  for (const std::string& c : columnas) columnasSql.push_back(dialecto_->Identificador(c));
  backend_->CopiaFilas(dialecto_->Identificador(tabla), columnasSql, valores);
  return hasta;
}

bool EscriturasDiferidas::PorLlaves(const Escritura& e) {
  return !e.nueva && e.cambio.localizador.empty();
}

std::string EscriturasDiferidas::LlaveSuelta(const Escritura& e) {
  std::vector<Valor> valores;
  for (const Predicado& p : e.cambio.condiciones) valores.push_back(ValorDeCondicion(p));
  return SueltaLlave(e.cambio.condiciones, valores.data());
}

void EscriturasDiferidas::OrdenaPorLlaves(std::vector<Escritura>& escrituras) {
  if (std::none_of(escrituras.begin(), escrituras.end(), PorLlaves)) return;
  const auto inicio = std::stable_partition(escrituras.begin(), escrituras.end(),
                                            [](const Escritura& e) { return !PorLlaves(e); });
  if (inicio == escrituras.end()) return;
  std::unordered_map<std::string, std::size_t> vistas;
  std::vector<std::pair<std::size_t, std::size_t>> rondas;  // (round, place)
  for (auto e = inicio; e != escrituras.end(); ++e)
    rondas.emplace_back(vistas[LlaveSuelta(*e)]++, static_cast<std::size_t>(e - inicio));
  std::sort(rondas.begin(), rondas.end());
  std::vector<Escritura> ordenadas;
  ordenadas.reserve(rondas.size());
  for (const auto& [ronda, lugar] : rondas) ordenadas.push_back(std::move(*(inicio + lugar)));
  std::move(ordenadas.begin(), ordenadas.end(), inicio);
}

EscriturasDiferidas::Orden EscriturasDiferidas::OrdenPosible(
    const std::vector<Escritura>& escrituras) {
  Orden posible = Orden::PorLlaves;
  for (const Escritura& e : escrituras)
    if (PorLlaves(e)) posible = std::min(posible, OrdenDe(e.cambio).orden);
  return posible;
}

const EscriturasDiferidas::OrdenTabla& EscriturasDiferidas::OrdenDe(
    const ActualizacionDiferible& a) {
  auto orden = ordenTablas_.find(a.tabla);
  if (orden == ordenTablas_.end()) orden = ordenTablas_.emplace(a.tabla, OrdenDeTabla(a)).first;
  return orden->second;
}

EscriturasDiferidas::OrdenTabla EscriturasDiferidas::OrdenDeTabla(const ActualizacionDiferible& a) {
  const std::optional<SentenciaSql> consulta = dialecto_->ObservadoresOrden(a.tabla);
  if (!consulta) return {Orden::Archivo, {}, false};
  const auto esLlave = [&a](const std::string& columna) {
    return std::any_of(a.condiciones.begin(), a.condiciones.end(),
                       [&columna](const Predicado& p) { return IgualSinCaso(p.columna, columna); });
  };
  OrdenTabla r{Orden::PorLlaves, {}, true};
  for (const std::vector<Valor>& fila : backend_->Consulta(*consulta, 0).filas) {
    if (fila.empty() || EsNulo(fila[0])) return {Orden::Archivo, {}, false};
    // a unique index of the keys alone: the changes never write the keys
    std::vector<std::string> columnas = Divide(ValorComoTexto(fila[0]), ",");
    if (!columnas.empty() && std::all_of(columnas.begin(), columnas.end(), esLlave)) continue;
    r.orden = Orden::NuevasPrimero;
    r.conocidos = r.conocidos && !columnas.empty();
    r.indices.push_back(std::move(columnas));
  }
  return r;
}

void EscriturasDiferidas::EscribeTodas(std::vector<Escritura>& escrituras, bool copia) {
  if (dialecto_->ColumnasLocalizador() > 0) {
    switch (OrdenPosible(escrituras)) {
      case Orden::PorLlaves:
        OrdenaPorLlaves(escrituras);
        break;
      case Orden::NuevasPrimero:
        std::stable_partition(escrituras.begin(), escrituras.end(),
                              [](const Escritura& e) { return e.nueva; });
        break;
      case Orden::Archivo:
        break;
    }
  }
  // Consecutive writes of the same shape go together, in file order.
  for (std::size_t desde = 0; desde < escrituras.size();) {
    const Escritura& e = escrituras[desde];
    if (e.nueva && backend_->CopiaFilasAdmitida() && !ConReglas(e.fila.tabla)) {
      desde = EscribeCopia(escrituras, desde, copia);
      continue;
    }
    const std::size_t porFila =
        e.nueva ? e.fila.valores.size() : 3 + e.cambio.valores.size() + e.cambio.condiciones.size();
    // a statement takes what its markers allow
    const std::size_t maximo = std::max<std::size_t>(dialecto_->FilasPorSentencia(porFila), 1);
    // one statement changes a row once: the same key twice starts another
    std::unordered_set<std::string> llaves;
    const auto nuevaLlave = [&llaves](const Escritura& x) {
      return !PorLlaves(x) || llaves.insert(LlaveSuelta(x)).second;
    };
    nuevaLlave(e);  // the first one's
    std::size_t hasta = desde + 1;
    while (hasta < escrituras.size() && hasta - desde < maximo &&
           MismasColumnas(escrituras[desde], escrituras[hasta]) && nuevaLlave(escrituras[hasta]))
      ++hasta;
    EscribeGrupo(escrituras, desde, hasta, copia);
    desde = hasta;
  }
}

ResultadoConsulta EscriturasDiferidas::Consulta(const SentenciaSql& s, long maxRegistros) {
  EscribeAhora();
  return backend_->Consulta(s, maxRegistros);
}

long EscriturasDiferidas::Ejecuta(const SentenciaSql& s) {
  EscribeAhora();
  return backend_->Ejecuta(s);
}

std::vector<std::string> EscriturasDiferidas::TablasBase() {
  EscribeAhora();
  return backend_->TablasBase();
}

void EscriturasDiferidas::IniciaTransaccion() {
  EscribeAhora();
  rechazo_.reset();
  backend_->IniciaTransaccion();
  transaccion_ = true;
  punto_ = false;
  marcados_ = 0;
}

// Begun again (or taken back to the savepoint) without the refused rows'
// batch: committing would keep the rest of it.
void EscriturasDiferidas::ExigeSinRechazo(const std::string& que) const {
  if (rechazo_)
    throw ErrorVarlo(rechazo_->Numero(), rechazo_->Fuente(),
                     "No se confirma " + que + ": la base de datos rechazó filas del lote (" +
                         rechazo_->Descripcion() + ")");
}

void EscriturasDiferidas::Abandona() noexcept {
  try {
    Termina();
  } catch (...) {
    // what it wrote is undone with the rest
  }
  retenidas_.clear();
  bytesRetenidos_ = 0;
  sinVeredicto_ = false;
}

void EscriturasDiferidas::ConfirmaTransaccion() {
  EscribeAhora();
  ExigeSinRechazo("la transacción");
  SinTransaccion();
  backend_->ConfirmaTransaccion();
}

void EscriturasDiferidas::DeshaceTransaccion() noexcept {
  Abandona();
  rechazo_.reset();
  SinTransaccion();
  backend_->DeshaceTransaccion();
}

void EscriturasDiferidas::MarcaPuntoTrasEscribir() {
  if (!transaccion_ || rechazo_) return;
  if (!retenidas_.empty()) Escribe();
  if (!enCurso_.valid()) {
    Veredicto();
    if (!rechazo_) MarcaSiguiente();
    return;
  }
  // after the write in the background, on its thread: a refusal of the
  // write raises before the savepoint is marked
  enCurso_ = std::async(std::launch::async, [this, escritura = std::move(enCurso_)]() mutable {
    escritura.get();
    MarcaSiguiente();
  });
}

void EscriturasDiferidas::MarcaSiguiente() {
  if (punto_) {
    backend_->LiberaPunto();
    punto_ = false;
  }
  backend_->MarcaPunto();
  punto_ = true;
  ++marcados_;
}

void EscriturasDiferidas::MarcaPunto() {
  EscribeAhora();
  rechazo_.reset();
  backend_->MarcaPunto();
  punto_ = true;
}

void EscriturasDiferidas::LiberaPunto() {
  EscribeAhora();
  ExigeSinRechazo("el lote");
  punto_ = false;
  backend_->LiberaPunto();
}

void EscriturasDiferidas::VuelveAlPunto() {
  Abandona();
  rechazo_.reset();
  punto_ = false;
  backend_->VuelveAlPunto();
}

void EscriturasDiferidas::Cierra() {
  // the connection ends: what was not committed is gone
  Abandona();
  SinTransaccion();
  backend_->Cierra();
}

}  // namespace varlo::db
