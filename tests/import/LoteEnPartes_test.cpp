// A batch of more records than are prepared together: its lookups are
// fetched in parts, and the rows held for one part are written when the
// next part is looked up. A refusal surfacing there still costs only the
// refused record, whichever part it was in, and every line is reported once.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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
    // existing rows, so that parts both change and add rows; the refused
    // row of the second part is a change
    e.Base().Execute(
        "INSERT INTO Unidad (ID, Nombre) VALUES (3, 'viejo'), (1007, 'viejo'), (1500, 'viejo')");
    e.Definiciones(ListaTablas({"Unidad"}) + e.Seccion("Unidad", "ID", {"ID", "Nombre"}));
    V lineas;
    // one refused row in the first part, one in the second, one in the last
    const long malos[] = {10, static_cast<long>(kLineasPorAnticipacion) + 7, registros - 2};
    for (long i = 1; i <= registros; ++i) {
      const bool malo = std::find(std::begin(malos), std::end(malos), i) != std::end(malos);
      lineas.push_back(std::to_string(i) + "," + (malo ? "Malo" : "N" + std::to_string(i)));
    }
    e.Fuente("Unidad.txt", lineas);

    Corrida::Opciones o = Lote(lote);
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
    EXPECT_EQ(filas.size(), static_cast<std::size_t>(registros - 2));
    for (const auto& f : filas) {
      if (f.at(0) == "3" || f.at(0) == "1500") {
        EXPECT_EQ(f.at(1), "N" + f.at(0));
      }
      if (f.at(0) == "1007") {
        EXPECT_EQ(f.at(1), "viejo");
      }
    }
  }
}

// A part's lookups may go before the rows of the part before it are written
// (the server takes those rows meanwhile) only when none of them has one of
// its keys: a key met again one or two parts later, also in other letter
// case, still finds the row its earlier line wrote. The table has no unique
// key, so a lookup that missed that row would leave a second one.
TEST_P(LoteEnPartesEn, UnaLlaveRepetidaEnOtraParteEncuentraSuFila) {
  const long n = static_cast<long>(kLineasPorAnticipacion);
  EntornoImportacion e(GetParam());
  e.Base().Execute("CREATE TABLE Clave (K VARCHAR(10) NOT NULL, V VARCHAR(10))");
  e.Definiciones(ListaTablas({"Clave"}) + e.Seccion("Clave", "K", {"K", "V"}));
  V lineas;
  for (long i = 1; i <= 3 * n; ++i) {
    // the last lines of each later part repeat keys of the first part, the
    // first lines of the third part keys of the second
    long k = i;
    if (i > n && i % n >= n - 3) k = i % n;
    if (i > 2 * n && i % n > 0 && i % n < 3) k = n + 10 + i % n;
    lineas.push_back("k" + std::to_string(k) + "," + "v" + std::to_string(i));
  }
  lineas.push_back("K5,ultimo");  // the same letters in other case, in the last part
  e.Fuente("Clave.txt", lineas);

  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Resultado("Clave_Ok.txt"), lineas);
  // each key once, holding the value of its last line (letter case as the
  // database compares it: the last line's own key stays where it differs)
  std::map<std::string, std::string> ultimo;
  for (const std::string& l : lineas) ultimo[l.substr(0, l.find(','))] = l.substr(l.find(',') + 1);
  const Filas filas = e.Lee("Clave", {"K", "V"});
  std::map<std::string, int> veces;
  for (const auto& f : filas) ++veces[f.at(0)];
  for (const auto& [k, v] : veces) EXPECT_EQ(v, 1) << k;
  for (const auto& f : filas) EXPECT_EQ(f.at(1), ultimo[f.at(0)]) << f.at(0);
}

// A refused change is known only when the next part's changes go, while
// the lookup of the part after is under way (on libpq, on its own session):
// the batch is done again one record at a time, and that lookup's rows are
// never taken for a later lookup's (every other key is new, and no unique
// key refuses a second row: a lookup served another's rows would add one).
TEST_P(LoteEnPartesEn, CambioRechazadoMientrasSeBuscaLaParteSiguiente) {
  const long n = static_cast<long>(kLineasPorAnticipacion);
  const long registros = 4 * n + 500;
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "CREATE TABLE Unidad (ID INT NOT NULL, Nombre VARCHAR(10) CHECK (Nombre <> 'Malo'))");
  e.Base().Execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                   std::to_string(registros) +
                   ") INSERT INTO Unidad SELECT i, 'viejo' FROM n WHERE i % 2 = 1");
  e.Definiciones(ListaTablas({"Unidad"}) + e.Seccion("Unidad", "ID", {"ID", "Nombre"}));
  V lineas;
  for (long i = 1; i <= registros; ++i)
    lineas.push_back(std::to_string(i) + "," + (i == n + 7 ? "Malo" : "N" + std::to_string(i)));
  e.Fuente("Unidad.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  V esperadas = lineas;
  esperadas.erase(esperadas.begin() + n + 6);
  EXPECT_EQ(e.Resultado("Unidad_Ok.txt"), esperadas);
  const V er = e.Resultado("Unidad_Er.txt");
  ASSERT_EQ(er.size(), 1u);
  EXPECT_EQ(er[0].rfind(std::to_string(n + 7) + ",Malo(", 0), 0u) << er[0];
  const Filas filas = e.Lee("Unidad", {"ID", "Nombre"});
  EXPECT_EQ(filas.size(), static_cast<std::size_t>(registros));
  for (const auto& f : filas)
    EXPECT_EQ(f.at(1), f.at(0) == std::to_string(n + 7) ? "viejo" : "N" + f.at(0)) << f.at(0);
}

// A reload deletes the rows in the transaction its records run in: the
// lookups of every part must see the table as that transaction left it
// (empty), not as it stands for anyone else, or the old rows' lines would
// be taken for changes of rows that are gone.
TEST_P(LoteEnPartesEn, LasBusquedasDeUnaRecargaNoVenLasFilasQueBorro) {
  const long n = 2 * static_cast<long>(kLineasPorAnticipacion) + 10;
  EntornoImportacion e(GetParam());
  e.Base().Execute("CREATE TABLE Unidad (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(10))");
  e.Base().Execute("INSERT INTO Unidad (ID, Nombre) VALUES (1, 'viejo'), (1500, 'viejo')");
  e.Definiciones(ListaTablas({"Unidad"}) + e.Seccion("Unidad", "ID", {"ID", "Nombre"}) +
                 "Borrar antes de importar=1\r\n");
  V lineas;
  for (long i = 1; i <= n; ++i) lineas.push_back(std::to_string(i) + ",N" + std::to_string(i));
  e.Fuente("Unidad.txt", lineas);

  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Resultado("Unidad_Ok.txt"), lineas);
  EXPECT_EQ(e.Resultado("Unidad_Er.txt"), V{});
  const Filas filas = e.Lee("Unidad", {"ID", "Nombre"});
  EXPECT_EQ(filas.size(), static_cast<std::size_t>(n));
  for (const auto& f : filas) EXPECT_EQ(f.at(1), "N" + f.at(0));
}

INSTANTIATE_TEST_SUITE_P(Motores, LoteEnPartesEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
