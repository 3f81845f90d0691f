#include "PanelDetalles.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>
#include <optional>

#include "common/Plataforma.h"
#include "common/Ventana.h"

namespace varlo::gui {

namespace {

QString Qs(const std::string& s) {
  return QString::fromStdString(s);
}

// Copies the counts; a text is copied only when it changed: this runs
// after every record.
void CopiaCuentas(ResumenImportacion& destino, const ResumenImportacion& r) {
  const auto texto = [](std::string& a, const std::string& b) {
    if (a != b) a = b;
  };
  texto(destino.archivoEr, r.archivoEr);
  texto(destino.archivoOk, r.archivoOk);
  texto(destino.motivo, r.motivo);
  destino.leidas = r.leidas;
  destino.omitidas = r.omitidas;
  destino.agregadas = r.agregadas;
  destino.actualizadas = r.actualizadas;
  destino.rechazadas = r.rechazadas;
  destino.sinProcesar = r.sinProcesar;
  destino.segundos = r.segundos;
  destino.simulado = r.simulado;
  destino.porDias = r.porDias;
}

}  // namespace

PanelDetalles::PanelDetalles(QWidget* padre) : QWidget(padre) {
  setObjectName("Detalles");

  tabla_ = new QTableWidget(0, kColumnas, this);
  tabla_->setObjectName("tblImportaciones");
  tabla_->setHorizontalHeaderLabels(
      {"Importación", "Estado", "Leídas", "Agregadas", "Actualizadas", "Rechazadas", "Por s"});
  tabla_->verticalHeader()->hide();
  tabla_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tabla_->setSelectionMode(QAbstractItemView::SingleSelection);
  tabla_->setWordWrap(false);
  tabla_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tabla_->horizontalHeader()->setSectionResizeMode(kImportacion, QHeaderView::Stretch);
  connect(tabla_, &QTableWidget::cellClicked, this, [this](int fila, int columna) {
    if (columna == kRechazadas) AbreRechazados(fila);
  });
  connect(tabla_, &QTableWidget::cellDoubleClicked, this, [this](int fila, int columna) {
    // The click before it has already opened the count's file.
    if (columna != kRechazadas) AbreRechazados(fila);
  });

  lblErrores_ = new QLabel("Líneas de error: 0", this);
  lblErrores_->setObjectName("lblErrores");
  errores_ = new QListWidget(this);
  errores_->setObjectName("lstErrores");
  errores_->setUniformItemSizes(true);

  auto* parteErrores = new QWidget(this);
  auto* columnaErrores = new QVBoxLayout(parteErrores);
  columnaErrores->setContentsMargins(0, 0, 0, 0);
  columnaErrores->addWidget(lblErrores_);
  columnaErrores->addWidget(errores_, 1);

  auto* division = new QSplitter(Qt::Vertical, this);
  division->setChildrenCollapsible(false);
  division->addWidget(tabla_);
  division->addWidget(parteErrores);
  division->setStretchFactor(0, 3);
  division->setStretchFactor(1, 2);

  auto* columna = new QVBoxLayout(this);
  columna->setContentsMargins(6, 6, 6, 6);
  columna->addWidget(division);
}

PanelDetalles::Fila& PanelDetalles::FilaDe(const std::string& nombre) {
  // A table listed twice gets a row per import.
  if (enCurso_ >= 0 && filas_[enCurso_].nombre == nombre) return filas_[enCurso_];
  filas_.push_back(Fila{});
  filas_.back().nombre = nombre;
  return filas_.back();
}

void PanelDetalles::Avance(const std::string& nombre, const ResumenImportacion& r,
                           long lineasHechas, std::int64_t ahoraMs) {
  const bool nueva = enCurso_ < 0 || filas_[enCurso_].nombre != nombre;
  Fila& f = FilaDe(nombre);
  if (nueva) {
    enCurso_ = static_cast<int>(filas_.size()) - 1;
    f.inicioMs = ahoraMs;
    f.lineasAlInicio = lineasHechas;
  }
  CopiaCuentas(f.cuentas, r);
  f.lineasHechas = lineasHechas;
  f.cambiada = true;
}

void PanelDetalles::Termina(const ImportacionCorrida& i) {
  Fila& f = FilaDe(i.nombre);
  f.enCurso = false;
  f.estado = i.estado;
  f.motivo = i.motivo;
  f.cuentas = i.cuentas;
  f.cambiada = true;
  enCurso_ = -1;
}

void PanelDetalles::AgregaError(const std::string& linea) {
  ++totalErrores_;
  if (static_cast<long>(errores_->count() + erroresPendientes_.size()) < kMaxLineasError)
    erroresPendientes_.push_back(linea);
  else
    ++erroresOmitidos_;
}

void PanelDetalles::Refresca(std::int64_t ahoraMs) {
  if (tabla_->rowCount() != static_cast<int>(filas_.size()))
    tabla_->setRowCount(static_cast<int>(filas_.size()));
  for (std::size_t i = 0; i < filas_.size(); ++i)
    if (filas_[i].cambiada || filas_[i].enCurso) PintaFila(static_cast<int>(i), ahoraMs);

  if (erroresPendientes_.empty() && erroresOmitidos_ == 0) return;
  for (const std::string& linea : erroresPendientes_) {
    auto* item = new QListWidgetItem(Qs(linea));
    item->setToolTip(Qs(linea));
    errores_->addItem(item);
  }
  erroresPendientes_.clear();
  if (erroresOmitidos_ > 0) {
    const QString texto = QString("(%1 líneas más: están en la bitácora)").arg(erroresOmitidos_);
    if (errores_->count() > kMaxLineasError)
      errores_->item(kMaxLineasError)->setText(texto);
    else
      errores_->addItem(texto);
  }
  lblErrores_->setText(QString("Líneas de error: %1").arg(totalErrores_));
  errores_->scrollToBottom();
}

void PanelDetalles::PintaFila(int indice, std::int64_t ahoraMs) {
  Fila& f = filas_[indice];
  f.cambiada = false;
  const ResumenImportacion& c = f.cuentas;
  auto celda = [this, indice](int columna, const QString& texto, bool numero = true) {
    QTableWidgetItem* item = tabla_->item(indice, columna);
    if (!item) {
      item = new QTableWidgetItem;
      item->setTextAlignment(numero ? (Qt::AlignRight | Qt::AlignVCenter)
                                    : (Qt::AlignLeft | Qt::AlignVCenter));
      tabla_->setItem(indice, columna, item);
    }
    if (item->text() != texto) item->setText(texto);
    return item;
  };

  celda(kImportacion, Qs(f.nombre), false);
  QTableWidgetItem* estado =
      celda(kEstado, f.enCurso ? QString("importando") : QString(NombreEstado(f.estado)), false);
  estado->setToolTip(Qs(f.motivo));
  if (!f.enCurso && f.estado != EstadoImportacion::Importada) estado->setForeground(Qt::darkRed);

  if (!f.enCurso && f.estado == EstadoImportacion::NoImportada) {
    // Nothing was read: the reason takes the place of the counts.
    if (tabla_->columnSpan(indice, kLeidas) == 1)
      tabla_->setSpan(indice, kLeidas, 1, kColumnas - kLeidas);
    celda(kLeidas, Qs(f.motivo), false)->setToolTip(Qs(f.motivo));
    return;
  }

  const QString dias = c.porDias ? " días" : "";
  celda(kLeidas, QString::number(c.leidas));
  celda(kAgregadas, QString::number(c.agregadas) + dias);
  celda(kActualizadas, QString::number(c.actualizadas) + dias);

  QTableWidgetItem* rechazadas = celda(kRechazadas, QString::number(c.rechazadas));
  const QString archivo = ArchivoRechazados(indice);
  QFont letra = tabla_->font();
  letra.setUnderline(!archivo.isEmpty());
  rechazadas->setFont(letra);
  rechazadas->setForeground(archivo.isEmpty() ? palette().text() : palette().link());
  rechazadas->setToolTip(archivo.isEmpty() ? QString() : "Abrir " + archivo);

  // At the end, the rate the summary line gives: what was done per second
  // (the planning counts its source lines). While in progress the counts
  // only move when a batch commits, so the rate is of the lines taken since
  // the first one, over the window's clock.
  const double segundos = f.enCurso ? static_cast<double>(ahoraMs - f.inicioMs) / 1000 : c.segundos;
  const long hechas = f.enCurso ? f.lineasHechas - f.lineasAlInicio : c.Procesadas();
  QString ritmo;
  if (segundos > 0) {
    ritmo = QString::number(std::lround(static_cast<double>(hechas) / segundos));
    if (c.porDias) ritmo += " líneas";
  }
  celda(kRitmo, ritmo);
}

QString PanelDetalles::ArchivoRechazados(int fila) const {
  if (fila < 0 || fila >= static_cast<int>(filas_.size())) return {};
  const ResumenImportacion& c = filas_[fila].cuentas;
  if (c.archivoEr.empty() || c.rechazadas <= 0) return {};
  std::filesystem::path ruta(c.archivoEr);
  if (ruta.is_relative()) ruta = UneRuta(CarpetaPrograma(), c.archivoEr);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(ruta, ec)) return {};
  return QString::fromStdString(ruta.string());
}

void PanelDetalles::AbreRechazados(int fila) {
  const QString ruta = ArchivoRechazados(fila);
  if (ruta.isEmpty() || (abre_ && abre_(ruta))) return;
  // Not modal for the run: it goes on while the box is there.
  auto* caja = new QMessageBox(QMessageBox::Warning, kTituloAplicacion, "No se pudo abrir " + ruta,
                               QMessageBox::Ok, this);
  caja->setAttribute(Qt::WA_DeleteOnClose);
  caja->open();
}

}  // namespace varlo::gui
