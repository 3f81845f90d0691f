// The table picker's result.
#include <gtest/gtest.h>

#include "GeneradorPrueba.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "definitions/frmSelTablas.h"
#include "support/BaseDatosPrueba.h"

namespace varlo {
namespace {

TEST(SeleccionTablas, TickedBaseTablesComeInNodeOrderJoinedByCommas) {
  prueba::CarpetaTemporal tmp;
  EstableceCarpetaPrograma(tmp.Ruta());
  prueba::VentanaGenerador v;
  frmMain f(v, "");
  f.EstableceConexion(db::Conexion::Abre(prueba::BaseDatosPrueba::SQLite(tmp.Archivo("bd"))));
  frmSelTablas selector;
  const std::vector<std::pair<std::set<std::string>, std::string>> casos = {
      {{}, ""},
      {{"Kardex"}, "Kardex"},
      {{"Fotos_Empleados", "Empleado"}, "Empleado,Fotos_Empleados"}};
  for (const auto& [elegir, esperado] : casos) {
    v.elegir = elegir;
    EXPECT_EQ(selector.Tablas(f), esperado);
  }
  // The base tables in catalogue order, not the view.
  EXPECT_EQ(v.listasTablas.at(0),
            (std::vector<std::string>{"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados"}));
  // No comma goes in while only blanks have been gathered.
  EXPECT_EQ(frmSelTablas::UneMarcadas({"  ", "c", "d"}, {true, true, true}), "  c,d");
}

}  // namespace
}  // namespace varlo
