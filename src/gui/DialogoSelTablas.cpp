#include "DialogoSelTablas.h"

#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace varlo::gui {

DialogoSelTablas::DialogoSelTablas(const std::vector<std::string>& tablas, QWidget* padre)
    : QDialog(padre) {
  setObjectName("frmSelTablas");
  setWindowTitle("Selección de tablas destino");

  tvTabla_ = new QTreeWidget(this);
  tvTabla_->setObjectName("tvTabla");
  QFont letra("Verdana");
  letra.setPointSizeF(8.25);
  tvTabla_->setFont(letra);
  tvTabla_->setHeaderHidden(true);
  tvTabla_->setColumnCount(1);
  tvTabla_->setRootIsDecorated(false);
  tvTabla_->setSortingEnabled(false);
  for (const std::string& nombre : tablas) {
    auto* nodo = new QTreeWidgetItem(tvTabla_, QStringList{QString::fromStdString(nombre)});
    nodo->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    nodo->setCheckState(0, Qt::Unchecked);
  }

  auto boton = [this](const char* nombre, const char* texto) {
    auto* b = new QPushButton(texto, this);
    b->setObjectName(nombre);
    b->setAutoDefault(false);
    return b;
  };
  cmdMarcarTodas_ = boton("cmdMarcarTodas", "Marcar todas");
  cmdAceptar_ = boton("cmdAceptar", "Aceptar");
  cmdCancelar_ = boton("cmdCancelar", "Cancelar");
  cmdCerrar_ = boton("cmdCerrar", "Cerrar");
  cmdCerrar_->setDefault(true);
  connect(cmdMarcarTodas_, &QPushButton::clicked, this, [this] { MarcaTodas(); });
  connect(cmdAceptar_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdCancelar_, &QPushButton::clicked, this, [this] { Cancela(); });
  connect(cmdCerrar_, &QPushButton::clicked, this, &QDialog::accept);

  auto* botones = new QHBoxLayout;
  botones->addWidget(cmdMarcarTodas_);
  botones->addStretch();
  botones->addWidget(cmdAceptar_);
  botones->addWidget(cmdCancelar_);
  botones->addWidget(cmdCerrar_);
  auto* principal = new QVBoxLayout(this);
  principal->setContentsMargins(8, 8, 8, 6);
  principal->addWidget(tvTabla_, 1);
  principal->addLayout(botones);
  resize(399, 325);
}

void DialogoSelTablas::MarcaTodas() {
  for (int i = 0; i < tvTabla_->topLevelItemCount(); ++i)
    tvTabla_->topLevelItem(i)->setCheckState(0, Qt::Checked);
}

void DialogoSelTablas::Cancela() {
  cancelada_ = true;
  reject();
}

void DialogoSelTablas::keyPressEvent(QKeyEvent* evento) {
  // Escape is "Cancelar"; the window's close button keeps the ticks.
  if (evento->matches(QKeySequence::Cancel)) {
    Cancela();
    return;
  }
  QDialog::keyPressEvent(evento);
}

std::vector<bool> DialogoSelTablas::Marcadas() const {
  std::vector<bool> r;
  r.reserve(static_cast<std::size_t>(tvTabla_->topLevelItemCount()));
  for (int i = 0; i < tvTabla_->topLevelItemCount(); ++i)
    r.push_back(!cancelada_ && tvTabla_->topLevelItem(i)->checkState(0) == Qt::Checked);
  return r;
}

}  // namespace varlo::gui
