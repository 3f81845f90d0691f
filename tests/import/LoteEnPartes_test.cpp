// A batch of more records than are prepared together: its lookups are
// fetched in parts, and the rows held for one part are written when the
// next part is looked up. A refusal surfacing there still costs only the
// refused record, whichever part it was in, and every line is reported once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "EntornoImportacion.h"
#include "import/LoteRegistros.h"

namespace varlo::prueba {
namespace {

class LoteEnPartesEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(LoteEnPartesEn, RechazoDeUnaParteAnteriorCuestaSoloSuRegistro) {
  const long registros = 2 * static_cast<long>(kLineasPorAnticipacion) + 500;
  // 0: the program's default; and one batch of every record
  for (long lote : {0L, registros}) {
    SCOPED_TRACE("lote " + std::to_string(lote));
    EntornoImportacion e(GetParam());
    e.Base().Execute(
        "CREATE TABLE Unidad (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(10) CHECK (Nombre <> "
        "'Malo'))");
    // existing rows, so that parts both change and add rows
    e.Base().Execute("INSERT INTO Unidad (ID, Nombre) VALUES (3, 'viejo'), (1500, 'viejo')");
    e.Definiciones(ListaTablas({"Unidad"}) + e.Seccion("Unidad", "ID", {"ID", "Nombre"}));
    V lineas;
    // one refused row in the first part, one in the second, one in the last
    const long malos[] = {10, static_cast<long>(kLineasPorAnticipacion) + 7, registros - 2};
    for (long i = 1; i <= registros; ++i) {
      const bool malo = std::find(std::begin(malos), std::end(malos), i) != std::end(malos);
      lineas.push_back(std::to_string(i) + "," + (malo ? "Malo" : "N" + std::to_string(i)));
    }
    e.Fuente("Unidad.txt", lineas);

    Corrida::Opciones o;
    o.lote = lote;
    EXPECT_EQ(e.Importa(o), 1);
    const V ok = e.Resultado("Unidad_Ok.txt"), er = e.Resultado("Unidad_Er.txt");
    V esperadas;
    for (const std::string& l : lineas)
      if (l.find("Malo") == std::string::npos) esperadas.push_back(l);
    EXPECT_EQ(ok, esperadas);
    ASSERT_EQ(er.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
      EXPECT_EQ(er[i].rfind(std::to_string(malos[i]) + ",Malo(", 0), 0u) << er[i];
    const Filas filas = e.Lee("Unidad", {"ID", "Nombre"});
    EXPECT_EQ(filas.size(), static_cast<std::size_t>(registros - 3));
    for (const auto& f : filas) {
      if (f.at(0) == "3" || f.at(0) == "1500") {
        EXPECT_EQ(f.at(1), "N" + f.at(0));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Motores, LoteEnPartesEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
