#include "DialogoResumen.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "common/Ventana.h"

namespace varlo::gui {

DialogoResumen::DialogoResumen(const ContenidoResumen& c, Abridor abre, QWidget* padre)
    : QDialog(padre), abre_(std::move(abre)) {
  setObjectName("DialogoResumen");
  setWindowTitle("Resumen de la importación");

  auto* icono = new QLabel(this);
  const int lado = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icono->setPixmap(style()
                       ->standardIcon(c.conErrores ? QStyle::SP_MessageBoxWarning
                                                   : QStyle::SP_MessageBoxInformation)
                       .pixmap(lado, lado));
  icono->setAlignment(Qt::AlignTop);

  auto* lblEstado = new QLabel(c.estado, this);
  lblEstado->setObjectName("lblEstado");
  QFont negrita = lblEstado->font();
  negrita.setBold(true);
  lblEstado->setFont(negrita);
  lblEstado->setWordWrap(true);
  auto* lblDuracion = new QLabel("Tiempo transcurrido: " + c.duracion, this);
  lblDuracion->setObjectName("lblDuracion");

  auto* textos = new QVBoxLayout;
  textos->addWidget(lblEstado);
  textos->addWidget(lblDuracion);
  auto* cabecera = new QHBoxLayout;
  cabecera->addWidget(icono);
  cabecera->addLayout(textos, 1);

  lstResumen_ = new QListWidget(this);
  lstResumen_->setObjectName("lstResumen");
  // A summary line is long: it wraps rather than scrolls sideways.
  lstResumen_->setWordWrap(true);
  lstResumen_->setResizeMode(QListView::Adjust);
  lstResumen_->setTextElideMode(Qt::ElideNone);
  lstResumen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lstResumen_->setSpacing(2);
  lstResumen_->addItems(c.lineas);
  lstResumen_->setVisible(!c.lineas.isEmpty());
  // Up to five lines of two rows each without scrolling.
  const int filas = 2 * std::min<int>(static_cast<int>(c.lineas.size()), 5);
  lstResumen_->setMinimumHeight(filas * (fontMetrics().lineSpacing() + 3) +
                                2 * lstResumen_->frameWidth() + 4);

  auto* lblError = new QLabel(c.error, this);
  lblError->setObjectName("lblError");
  lblError->setWordWrap(true);
  lblError->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblError->setStyleSheet("color: darkred;");
  lblError->setVisible(!c.error.isEmpty());

  cmdBitacora_ = new QPushButton("Abrir bitácora", this);
  cmdBitacora_->setObjectName("cmdBitacora");
  cmdBitacora_->setEnabled(!c.bitacora.isEmpty());
  cmdBitacora_->setToolTip(c.bitacora.isEmpty() ? QString("La corrida no escribió bitácora")
                                                : c.bitacora);
  const QString bitacora = c.bitacora;
  connect(cmdBitacora_, &QPushButton::clicked, this, [this, bitacora] { Abre(bitacora); });

  cmdRechazados_ = new QPushButton("Ver rechazados", this);
  cmdRechazados_->setObjectName("cmdRechazados");
  cmdRechazados_->setEnabled(!c.rechazados.isEmpty());
  if (c.rechazados.isEmpty()) {
    cmdRechazados_->setToolTip("No hubo registros rechazados");
  } else if (c.rechazados.size() == 1) {
    const QString ruta = c.rechazados.front();
    cmdRechazados_->setToolTip(ruta);
    connect(cmdRechazados_, &QPushButton::clicked, this, [this, ruta] { Abre(ruta); });
  } else {
    auto* menu = new QMenu(cmdRechazados_);
    menu->setObjectName("mnuRechazados");
    for (const QString& ruta : c.rechazados)
      menu->addAction(QFileInfo(ruta).fileName(), this, [this, ruta] { Abre(ruta); })
          ->setToolTip(ruta);
    cmdRechazados_->setMenu(menu);
  }

  cmdCerrar_ = new QPushButton("Cerrar", this);
  cmdCerrar_->setObjectName("cmdCerrar");
  cmdCerrar_->setDefault(true);
  connect(cmdCerrar_, &QPushButton::clicked, this, &QDialog::accept);

  auto* botones = new QHBoxLayout;
  botones->addWidget(cmdBitacora_);
  botones->addWidget(cmdRechazados_);
  botones->addStretch();
  botones->addWidget(cmdCerrar_);

  auto* principal = new QVBoxLayout(this);
  principal->addLayout(cabecera);
  principal->addWidget(lstResumen_, 1);
  principal->addWidget(lblError);
  principal->addLayout(botones);

  // About 70 characters wide, so that a summary line takes two rows; as
  // tall as the lines need, up to five.
  resize(std::max(480, fontMetrics().horizontalAdvance(QString(72, 'n'))),
         minimumSizeHint().height());
}

void DialogoResumen::Abre(const QString& ruta) {
  if (abre_ && abre_(ruta)) return;
  QMessageBox::warning(this, kTituloAplicacion, "No se pudo abrir " + ruta);
}

}  // namespace varlo::gui
