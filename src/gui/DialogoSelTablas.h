#pragma once
// "Selección de tablas destino": one check box per base table, in the
// order given, all unticked, and the "Cerrar" button. Closing it in any way
// keeps the ticks: there is nothing to cancel.
#include <QDialog>
#include <string>
#include <vector>

class QTreeWidget;
class QPushButton;

namespace varlo::gui {

class DialogoSelTablas : public QDialog {
  Q_OBJECT

 public:
  DialogoSelTablas(const std::vector<std::string>& tablas, QWidget* padre = nullptr);

  QTreeWidget* tvTabla() const { return tvTabla_; }
  QPushButton* cmdCerrar() const { return cmdCerrar_; }

  // Whether each node is ticked, in the order the nodes were added.
  std::vector<bool> Marcadas() const;

 private:
  QTreeWidget* tvTabla_;
  QPushButton* cmdCerrar_;
};

}  // namespace varlo::gui
