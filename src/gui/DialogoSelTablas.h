#pragma once
// "Selección de tablas destino": one check box per base table, in the
// order given, all unticked; "Marcar todas" ticks them all. "Aceptar",
// "Cerrar" and the window's own close button keep the ticks; "Cancelar" (or
// Escape) gives no table at all, as if none had been ticked.
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
  QPushButton* cmdMarcarTodas() const { return cmdMarcarTodas_; }
  QPushButton* cmdAceptar() const { return cmdAceptar_; }
  QPushButton* cmdCancelar() const { return cmdCancelar_; }
  QPushButton* cmdCerrar() const { return cmdCerrar_; }

  // Whether each node is ticked, in the order the nodes were added; all
  // false once cancelled.
  std::vector<bool> Marcadas() const;

 protected:
  void keyPressEvent(QKeyEvent* evento) override;

 private:
  void MarcaTodas();
  void Cancela();

  QTreeWidget* tvTabla_;
  QPushButton* cmdMarcarTodas_;
  QPushButton* cmdAceptar_;
  QPushButton* cmdCancelar_;
  QPushButton* cmdCerrar_;
  bool cancelada_ = false;
};

}  // namespace varlo::gui
