#pragma once
// The table picker "Selección de tablas destino": lists the base tables of
// the shared connection with a check box each and gives back the ticked
// ones. However the dialog closes, the ticks stand; there is no cancel.
#include <string>
#include <vector>

namespace varlo {

class Corrida;

class frmSelTablas {
 public:
  // Shows the picker over the main window; the ticked names in list order,
  // joined by "," (empty when none).
  std::string Tablas(Corrida& propietario);

  // What the last closing left, readable after the dialog is gone.
  const std::string& Resultado() const { return resultado_; }

  // The closing's join: each ticked name, preceded by "," once something
  // that is not blank is already there.
  static std::string UneMarcadas(const std::vector<std::string>& tablas,
                                 const std::vector<bool>& marcadas);

 private:
  static std::vector<std::string> CargaTablas(Corrida& propietario);

  std::string resultado_;
};

}  // namespace varlo
