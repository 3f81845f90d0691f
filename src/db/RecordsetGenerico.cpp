#include "db/RecordsetGenerico.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/ConversionValores.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErroresBD.h"
#include "db/Identificadores.h"
#include "db/TiposAdo.h"

namespace varlo::db {

namespace {

const Valor kNulo{};
// The characters of a pending text are not known: counted at the next chunk.
constexpr std::size_t kSinContar = static_cast<std::size_t>(-1);

[[noreturn]] void Falla(long numero) {
  throw ErrorVarlo(numero, kFuenteBD, [numero]() -> std::string {
    if (numero == errores_bd::ObjetoCerrado)
      return "La operación no está permitida si el objeto está cerrado.";
    return DescripcionError(numero);
  }());
}

}  // namespace

RecordsetGenerico::RecordsetGenerico(std::shared_ptr<EscriturasDiferidas> backend,
                                     std::shared_ptr<const Dialecto> dialecto,
                                     db::Consulta consulta, ResultadoConsulta resultado,
                                     bool conLocalizador,
                                     std::shared_ptr<const std::vector<std::string>> escritos)
    : backend_(std::move(backend)),
      dialecto_(std::move(dialecto)),
      consulta_(std::move(consulta)),
      escritos_(std::move(escritos)),
      conLocalizador_(conLocalizador) {
  TomaFilas(std::move(resultado));
  pendientes_.resize(campos_.size());
}

// The rows of a query; the locator's columns, last in each row, are kept apart.
void RecordsetGenerico::TomaFilas(ResultadoConsulta resultado) {
  const std::size_t n = conLocalizador_ ? dialecto_->ColumnasLocalizador() : 0;
  if (resultado.campos.size() < n)
    throw ErrorVarlo(errores_bd::FalloProveedor, kFuenteBD,
                     "La consulta no devolvió el localizador de sus filas");
  resultado.campos.resize(resultado.campos.size() - n);
  campos_ = std::move(resultado.campos);
  versionCampos_ = 0;
  MarcaLlaves();
  SeparaLocalizadores(std::move(resultado.filas), n);
}

void RecordsetGenerico::SeparaLocalizadores(std::vector<std::vector<Valor>> filas, std::size_t n) {
  const std::size_t propias = campos_.size();
  localizadores_.clear();
  for (std::vector<Valor>& fila : filas) {
    if (n && fila.size() >= propias)
      localizadores_.emplace_back(
          std::make_move_iterator(fila.begin() + static_cast<std::ptrdiff_t>(propias)),
          std::make_move_iterator(fila.end()));
    fila.resize(propias);
  }
  filas_ = std::move(filas);
  posicion_ = 0;
}

void RecordsetGenerico::MarcaLlaves() {
  esLlave_.assign(campos_.size(), false);
  camposDeCondicion_.assign(consulta_.condiciones.size(), {});
  for (std::size_t k = 0; k < consulta_.condiciones.size(); ++k) {
    const std::string columna = QuitaCorchetes(consulta_.condiciones[k].columna);
    for (std::size_t i = 0; i < campos_.size(); ++i)
      if (IgualSinCaso(campos_[i].nombre, columna)) {
        esLlave_[i] = true;
        camposDeCondicion_[k].push_back(i);
      }
  }
}

const db::Consulta* RecordsetGenerico::ConsultaConValores(const db::Consulta& dada) {
  if (dada.select != consulta_.select || dada.top != consulta_.top || dada.from != consulta_.from ||
      dada.where != consulta_.where || dada.condiciones.size() != consulta_.condiciones.size())
    return nullptr;
  for (std::size_t k = 0; k < dada.condiciones.size(); ++k)
    if (dada.condiciones[k].igual != consulta_.condiciones[k].igual) return nullptr;
  for (std::size_t k = 0; k < dada.condiciones.size(); ++k) {
    consulta_.condiciones[k].clase = dada.condiciones[k].clase;
    consulta_.condiciones[k].valor = dada.condiciones[k].valor;
  }
  return &consulta_;
}

bool RecordsetGenerico::Reabre(const std::vector<InfoCampo>& campos,
                               std::vector<std::vector<Valor>> filas, bool conLocalizador,
                               unsigned long version) {
  conLocalizador_ = conLocalizador;
  const std::size_t n = conLocalizador_ ? dialecto_->ColumnasLocalizador() : 0;
  if (campos.size() < n)
    throw ErrorVarlo(errores_bd::FalloProveedor, kFuenteBD,
                     "La consulta no devolvió el localizador de sus filas");
  const std::size_t propias = campos.size() - n;
  bool mismos = campos_.size() == propias;
  const bool conocidos = version != 0 && version == versionCampos_;
  versionCampos_ = version;
  for (std::size_t i = 0; mismos && !conocidos && i < propias; ++i)
    mismos = campos_[i].nombre == campos[i].nombre && campos_[i].tipo == campos[i].tipo &&
             campos_[i].tamanoDefinido == campos[i].tamanoDefinido;
  if (!mismos) {
    campos_.assign(campos.begin(), campos.begin() + static_cast<std::ptrdiff_t>(propias));
    MarcaLlaves();
    trozosIniciados_.clear();
    caracteresTrozos_.clear();
    lecturaTrozos_.clear();
  }
  SeparaLocalizadores(std::move(filas), n);
  abierto_ = true;
  modo_ = adEditNone;
  pendientes_.resize(campos_.size());
  OlvidaPendientes();
  return !mismos;
}

// Most row sets never see a chunk: their counts are made at the first one.
// A value assigned before it began no chunk, so it needs no count.
void RecordsetGenerico::PreparaTrozos() {
  if (!trozosIniciados_.empty() || campos_.empty()) return;
  trozosIniciados_.assign(campos_.size(), false);
  caracteresTrozos_.assign(campos_.size(), 0);
  lecturaTrozos_.assign(campos_.size(), 0);
}

void RecordsetGenerico::CompruebaAbierto() const {
  if (!abierto_) Falla(errores_bd::ObjetoCerrado);
}

void RecordsetGenerico::CompruebaIndice(int indice) const {
  CompruebaAbierto();
  if (indice < 0 || static_cast<std::size_t>(indice) >= campos_.size())
    Falla(errores::ElementoNoEncontrado);
}

bool RecordsetGenerico::HayFila() const {
  return modo_ == adEditAdd || posicion_ < filas_.size();
}

void RecordsetGenerico::CompruebaFilaActual() const {
  if (!HayFila()) Falla(errores::SinRegistroActual);
}

bool RecordsetGenerico::BOF() const {
  CompruebaAbierto();
  return modo_ != adEditAdd && filas_.empty();
}

bool RecordsetGenerico::EOF_() const {
  CompruebaAbierto();
  return !HayFila();
}

void RecordsetGenerico::MoveNext() {
  CompruebaAbierto();
  // as ADO does, moving away writes the pending change
  if (modo_ != adEditNone) Update();
  if (posicion_ >= filas_.size()) Falla(errores::SinRegistroActual);
  ++posicion_;
  std::fill(lecturaTrozos_.begin(), lecturaTrozos_.end(), 0);
}

long RecordsetGenerico::RecordCount() const {
  CompruebaAbierto();
  return static_cast<long>(filas_.size());
}

long RecordsetGenerico::AbsolutePosition() const {
  CompruebaAbierto();
  if (modo_ == adEditAdd || posicion_ >= filas_.size()) return -1;
  return static_cast<long>(posicion_) + 1;
}

int RecordsetGenerico::FieldCount() const {
  CompruebaAbierto();
  return static_cast<int>(campos_.size());
}

const InfoCampo& RecordsetGenerico::Field(int indice) const {
  CompruebaIndice(indice);
  return campos_[static_cast<std::size_t>(indice)];
}

int RecordsetGenerico::IndiceCampo(std::string_view nombre) const {
  CompruebaAbierto();
  for (std::size_t i = 0; i < campos_.size(); ++i)
    if (IgualSinCaso(campos_[i].nombre, nombre)) return static_cast<int>(i);
  Falla(errores::ElementoNoEncontrado);
}

const Valor& RecordsetGenerico::Value(int indice) const {
  CompruebaIndice(indice);
  CompruebaFilaActual();
  auto i = static_cast<std::size_t>(indice);
  if (pendientes_[i]) return *pendientes_[i];
  if (modo_ == adEditAdd) return kNulo;
  return filas_[posicion_][i];
}

void RecordsetGenerico::AddNew() {
  CompruebaAbierto();
  if (modo_ != adEditNone) Update();
  OlvidaPendientes();
  modo_ = adEditAdd;
}

void RecordsetGenerico::Pendiente(int indice, Valor v) {
  pendientes_[static_cast<std::size_t>(indice)] = std::move(v);
  if (!caracteresTrozos_.empty()) caracteresTrozos_[static_cast<std::size_t>(indice)] = kSinContar;
  if (modo_ == adEditNone) modo_ = adEditInProgress;
}

void RecordsetGenerico::AsignaTexto(int indice, const std::string& texto) {
  CompruebaIndice(indice);
  CompruebaFilaActual();
  Pendiente(indice, ConvierteTexto(campos_[static_cast<std::size_t>(indice)], texto));
}

void RecordsetGenerico::Asigna(int indice, const Valor& valor) {
  CompruebaIndice(indice);
  CompruebaFilaActual();
  Pendiente(indice, ConvierteValor(campos_[static_cast<std::size_t>(indice)], valor));
}

void RecordsetGenerico::AppendChunk(int indice, const Bytes& trozo) {
  CompruebaIndice(indice);
  CompruebaFilaActual();
  PreparaTrozos();
  auto i = static_cast<std::size_t>(indice);
  const InfoCampo& campo = campos_[i];
  const bool binario = EsTipoBinario(campo.tipo);
  if (!binario && !EsTipoTexto(campo.tipo))
    throw ErrorVarlo(errores::TiposNoCoinciden, kFuenteBD,
                     "No coinciden los tipos (columna " + campo.nombre +
                         ": solo admite trozos una columna binaria o de texto)");
  // The first chunk replaces the value, the next ones are added to it in
  // place: the value grows geometrically instead of being copied whole for
  // every chunk.
  std::optional<Valor>& pendiente = pendientes_[i];
  if (!trozosIniciados_[i] || !pendiente) {
    pendiente.reset();
    caracteresTrozos_[i] = 0;
  } else if (binario ? !std::holds_alternative<Bytes>(*pendiente)
                     : !std::holds_alternative<std::string>(*pendiente)) {
    std::string texto = ValorComoTexto(*pendiente);
    pendiente = binario ? Valor(Bytes(texto.begin(), texto.end())) : Valor(std::move(texto));
    caracteresTrozos_[i] = kSinContar;
  }
  std::size_t bytes = 0;
  if (pendiente) {
    if (const auto* b = std::get_if<Bytes>(&*pendiente)) bytes = b->size();
    if (const auto* t = std::get_if<std::string>(&*pendiente)) {
      bytes = t->size();
      if (caracteresTrozos_[i] == kSinContar) caracteresTrozos_[i] = CuentaCaracteres(*t);
    }
  }
  const std::string_view texto(reinterpret_cast<const char*>(trozo.data()), trozo.size());
  const std::size_t caracteres = binario ? 0 : caracteresTrozos_[i] + CuentaCaracteres(texto);
  CompruebaLargo(campo, bytes + trozo.size(), binario ? bytes + trozo.size() : caracteres);

  if (!pendiente) pendiente = binario ? Valor(Bytes{}) : Valor(std::string{});
  if (auto* b = std::get_if<Bytes>(&*pendiente))
    b->insert(b->end(), trozo.begin(), trozo.end());
  else
    std::get<std::string>(*pendiente).append(texto);
  caracteresTrozos_[i] = caracteres;
  trozosIniciados_[i] = true;
  if (modo_ == adEditNone) modo_ = adEditInProgress;
}

Bytes RecordsetGenerico::GetChunk(int indice, std::size_t cuantos) {
  const Valor& v = Value(indice);
  PreparaTrozos();
  auto i = static_cast<std::size_t>(indice);
  std::string_view datos;
  if (const auto* b = std::get_if<Bytes>(&v))
    datos = std::string_view(reinterpret_cast<const char*>(b->data()), b->size());
  else if (const auto* s = std::get_if<std::string>(&v))
    datos = *s;
  std::size_t desde = std::min(lecturaTrozos_[i], datos.size());
  std::size_t n = std::min(cuantos, datos.size() - desde);
  lecturaTrozos_[i] = desde + n;
  return Bytes(datos.begin() + static_cast<std::ptrdiff_t>(desde),
               datos.begin() + static_cast<std::ptrdiff_t>(desde + n));
}

long RecordsetGenerico::ActualSize(int indice) const {
  const Valor& v = Value(indice);
  if (EsNulo(v)) return 0;
  if (const auto* b = std::get_if<Bytes>(&v)) return static_cast<long>(b->size());
  if (const auto* s = std::get_if<std::string>(&v)) return static_cast<long>(s->size());
  return campos_[static_cast<std::size_t>(indice)].tamanoDefinido;
}

std::vector<std::pair<std::string, Valor>> RecordsetGenerico::Asignados() const {
  std::vector<std::pair<std::string, Valor>> r;
  r.reserve(campos_.size());
  const bool conEscritos = escritos_ && escritos_->size() >= campos_.size();
  for (std::size_t i = 0; i < campos_.size(); ++i)
    if (pendientes_[i])
      r.emplace_back(conEscritos ? (*escritos_)[i] : ComoEscrito(campos_[i].nombre),
                     *pendientes_[i]);
  return r;
}

void RecordsetGenerico::Update() {
  CompruebaAbierto();
  if (modo_ == adEditNone) return;
  auto valores = Asignados();
  if (modo_ == adEditAdd) {
    Inserta(std::move(valores));
  } else if (!valores.empty()) {
    ActualizaFila(valores);
  }
  OlvidaPendientes();
  modo_ = adEditNone;
}

void RecordsetGenerico::Inserta(std::vector<std::pair<std::string, Valor>> valores) {
  const bool busquedaVacia = filas_.empty();
  const bool diferible = busquedaVacia && !consulta_.condiciones.empty();
  try {
    if (!diferible || !backend_->Difiere(consulta_.tabla, valores))
      backend_->Ejecuta(dialecto_->Insert(consulta_.tabla, valores));
  } catch (const ErrorVarlo& e) {
    // Another writer added the row between the lookup that found nothing
    // and this insert: the record becomes an update of that row.
    if (!EsClaveDuplicada(e) || !busquedaVacia || consulta_.condiciones.empty()) throw;
    ResultadoConsulta r = backend_->Consulta(
        conLocalizador_ ? dialecto_->SelectConLocalizador(consulta_) : dialecto_->Select(consulta_),
        1);
    if (r.filas.empty()) throw;
    TomaFilas(std::move(r));
    modo_ = adEditInProgress;
    ActualizaFila(valores);
    return;
  }
  // the pending values are forgotten right after: moved, not copied
  std::vector<Valor> fila(campos_.size());
  for (std::size_t i = 0; i < campos_.size(); ++i)
    if (pendientes_[i]) fila[i] = std::move(*pendientes_[i]);
  filas_.push_back(std::move(fila));
  // a row just added has no locator yet: its next update goes by its keys
  if (conLocalizador_) localizadores_.emplace_back();
  posicion_ = filas_.size() - 1;
}

// The row that was read, and that row only: by its locator when it has one,
// otherwise by the lookup's conditions when they still match exactly one row.
void RecordsetGenerico::ActualizaFila(std::vector<std::pair<std::string, Valor>>& valores) {
  if (consulta_.condiciones.empty())
    throw ErrorVarlo(errores_bd::OperacionNoPermitida, kFuenteBD,
                     "No se puede actualizar la fila de " + consulta_.tabla +
                         ": la consulta no tiene condiciones que la identifiquen");
  long filas = 0;
  std::vector<Valor>* localizador = FilaLocalizada() ? &localizadores_[posicion_] : nullptr;
  // Where the database has no locator at all (SQL Server), or a table's row
  // has none yet (added, or moved by a change, both maybe still held), a
  // held change is matched on the lookup's keys, as its single UPDATE would
  // be; the writes held before it are written first.
  const bool porLlaves = conLocalizador_ || dialecto_->ColumnasLocalizador() == 0;
  if (localizador || porLlaves) {
    // A key column given the value it already holds is left out: rewriting it
    // would rewrite its index entry for nothing. The values are moved into
    // the held change, and back when it is not held.
    ActualizacionDiferible a{consulta_.tabla,
                             {},
                             {},
                             consulta_.condiciones,
                             localizador ? *localizador : std::vector<Valor>{}};
    a.valores.reserve(valores.size());
    a.tipos.reserve(valores.size());
    origenes_.clear();
    for (std::size_t i = 0, k = 0; i < campos_.size(); ++i) {
      if (!pendientes_[i]) continue;
      if (!(esLlave_[i] && *pendientes_[i] == filas_[posicion_][i])) {
        a.valores.push_back(std::move(valores[k]));
        a.tipos.push_back(campos_[i].tipo);
        origenes_.push_back(k);
      }
      ++k;
    }
    if (backend_->DifiereActualizacion(a)) {
      // its new place is known only once written: a further change goes by the keys
      if (localizador && !dialecto_->LocalizadorEstable()) localizador->clear();
      filas = 1;
      localizador = nullptr;
    } else {
      for (std::size_t j = 0; j < origenes_.size(); ++j)
        valores[origenes_[j]] = std::move(a.valores[j]);
    }
  }
  if (filas == 0 && !localizador && conLocalizador_ && posicion_ < localizadores_.size()) {
    // A row served without its locator, its change written now: found as
    // its own lookup would have found it, and changed by that locator.
    ResultadoConsulta r = backend_->Consulta(dialecto_->SelectConLocalizador(consulta_), 1);
    const std::size_t n = dialecto_->ColumnasLocalizador();
    if (!r.filas.empty() && r.filas[0].size() >= n) {
      localizadores_[posicion_].assign(
          std::make_move_iterator(r.filas[0].end() - static_cast<std::ptrdiff_t>(n)),
          std::make_move_iterator(r.filas[0].end()));
      if (FilaLocalizada()) localizador = &localizadores_[posicion_];
    }
  }
  if (localizador) {
    ResultadoConsulta r = backend_->Consulta(
        dialecto_->UpdateLocalizado(consulta_.tabla, valores, consulta_.condiciones, *localizador),
        0);
    filas = static_cast<long>(r.filas.size());
    // PostgreSQL writes a changed row elsewhere: its new locator serves the next update
    if (filas == 1) *localizador = std::move(r.filas[0]);
  }
  // No locator, or the row moved since it was read (another writer changed it)
  if (filas == 0) {
    const SentenciaSql u = dialecto_->Update(consulta_.tabla, valores, consulta_.condiciones);
    filas = dialecto_->UpdateDevuelveFilas()
                ? static_cast<long>(backend_->Consulta(u, 0).filas.size())
                : backend_->Ejecuta(u);
  }
  if (filas == 0)
    throw ErrorVarlo(errores_bd::FilaNoEncontrada, kFuenteBD,
                     "No se encuentra la fila para actualizarla. Algunos valores pueden haber "
                     "cambiado desde la última lectura, o la clave identifica más de una fila.");
  SigueClave();
  // the pending values are forgotten right after: moved, not copied
  for (std::size_t i = 0; i < campos_.size(); ++i)
    if (pendientes_[i]) filas_[posicion_][i] = std::move(*pendientes_[i]);
}

std::optional<std::vector<Valor>> RecordsetGenerico::FilaComoLeida(
    const std::vector<int>& exigidos) const {
  if (!abierto_ || modo_ != adEditNone || !HayFila() || !conLocalizador_) return std::nullopt;
  const std::vector<Valor>& valores = filas_[posicion_];
  const std::size_t n = dialecto_->ColumnasLocalizador();
  std::vector<Valor> fila;
  fila.reserve(valores.size() + n);
  fila = valores;
  if (FilaLocalizada()) {
    const std::vector<Valor>& localizador = localizadores_[posicion_];
    fila.insert(fila.end(), localizador.begin(), localizador.end());
    return fila;
  }
  const auto nulo = [&valores](std::size_t i) { return i >= valores.size() || EsNulo(valores[i]); };
  for (std::size_t i = 0; i < esLlave_.size(); ++i)
    if (esLlave_[i] && nulo(i)) return std::nullopt;
  for (int i : exigidos)
    if (i >= 0 && nulo(static_cast<std::size_t>(i))) return std::nullopt;
  fila.resize(valores.size() + n);
  return fila;
}

bool RecordsetGenerico::FilaLocalizada() const {
  if (posicion_ >= localizadores_.size()) return false;
  const std::vector<Valor>& l = localizadores_[posicion_];
  // none for a view's rows or a row added here
  return !l.empty() && std::none_of(l.begin(), l.end(), [](const Valor& v) { return EsNulo(v); });
}

// A key column just rewritten: the next update must find the row by its new value.
void RecordsetGenerico::SigueClave() {
  for (std::size_t k = 0; k < consulta_.condiciones.size() && k < camposDeCondicion_.size(); ++k) {
    Predicado& p = consulta_.condiciones[k];
    for (std::size_t i : camposDeCondicion_[k]) {
      if (!pendientes_[i]) continue;
      const Valor& v = *pendientes_[i];
      if (p.clase == ClaseLiteral::Fecha || p.clase == ClaseLiteral::FechaHora)
        p.valor = v;
      else
        p.valor = ValorComoTexto(v);
    }
  }
}

void RecordsetGenerico::OlvidaPendientes() {
  std::fill(pendientes_.begin(), pendientes_.end(), std::nullopt);
  std::fill(trozosIniciados_.begin(), trozosIniciados_.end(), false);
  std::fill(caracteresTrozos_.begin(), caracteresTrozos_.end(), 0);
  std::fill(lecturaTrozos_.begin(), lecturaTrozos_.end(), 0);
}

void RecordsetGenerico::CancelUpdate() {
  CompruebaAbierto();
  OlvidaPendientes();
  modo_ = adEditNone;
}

void RecordsetGenerico::Close() {
  CompruebaAbierto();
  // a change still pending is dropped: an abandoned record never reaches the database
  OlvidaPendientes();
  modo_ = adEditNone;
  filas_.clear();
  localizadores_.clear();
  posicion_ = 0;
  abierto_ = false;
}

}  // namespace varlo::db
