#include "DialogoSelTablas.h"

#include <QFont>
#include <QPushButton>
#include <QTreeWidget>

namespace varlo::gui {

DialogoSelTablas::DialogoSelTablas(const std::vector<std::string>& tablas, QWidget* padre)
    : QDialog(padre) {
  setObjectName("frmSelTablas");
  setWindowTitle("Selección de tablas destino");
  setFixedSize(399, 325);

  tvTabla_ = new QTreeWidget(this);
  tvTabla_->setObjectName("tvTabla");
  tvTabla_->setGeometry(8, 8, 385, 281);
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

  cmdCerrar_ = new QPushButton("Cerrar", this);
  cmdCerrar_->setObjectName("cmdCerrar");
  cmdCerrar_->setGeometry((399 - 97) / 2, 295, 97, 25);
  cmdCerrar_->setDefault(true);
  connect(cmdCerrar_, &QPushButton::clicked, this, &QDialog::accept);
}

std::vector<bool> DialogoSelTablas::Marcadas() const {
  std::vector<bool> r;
  r.reserve(static_cast<std::size_t>(tvTabla_->topLevelItemCount()));
  for (int i = 0; i < tvTabla_->topLevelItemCount(); ++i)
    r.push_back(tvTabla_->topLevelItem(i)->checkState(0) == Qt::Checked);
  return r;
}

}  // namespace varlo::gui
