#include "app/frmMain.h"
#include "common/ErrorVarlo.h"
#include "import/Jerarquia.h"

namespace varlo {

std::string frmMain::ObtenerPadres(const std::string& strNivel, const std::string& strValor) {
  if (!cnBaseDatos_) LanzaError(91, "Variable de objeto o bloque With no establecido");
  return TextoPadres(RecorreJerarquia(*cnBaseDatos_, strNivel, strValor));
}

}  // namespace varlo
