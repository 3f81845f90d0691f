#include "definitions/frmSelTablas.h"

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Corrida.h"

namespace varlo {

std::vector<std::string> frmSelTablas::CargaTablas(Corrida& propietario) {
  db::Conexion* cn = propietario.cnBaseDatos();
  if (cn == nullptr) LanzaError(errores::VariableObjeto);
  return cn->TablasBase();
}

std::string frmSelTablas::UneMarcadas(const std::vector<std::string>& tablas,
                                      const std::vector<bool>& marcadas) {
  std::string r;
  for (std::size_t i = 0; i < tablas.size() && i < marcadas.size(); ++i) {
    if (!marcadas[i]) continue;
    if (!EstaEnBlanco(r)) r += ',';
    r += tablas[i];
  }
  return r;
}

std::string frmSelTablas::Tablas(Corrida& propietario) {
  std::vector<std::string> tablas = CargaTablas(propietario);
  std::vector<bool> marcadas = propietario.ventana().EligeTablas(tablas);
  resultado_ = UneMarcadas(tablas, marcadas);
  return resultado_;
}

}  // namespace varlo
