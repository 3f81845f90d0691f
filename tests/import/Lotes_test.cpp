// Records committed in batches: each record keeps its own verdict, a result
// line is written only once its batch committed, and an interrupted table
// loses nothing that was reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

class LotesEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(LotesEn, CadaRegistroConservaSuVeredictoDentroDelLote) {
  // Batches of 3: a type error, a row the database refuses (unique name) and
  // the same key twice all fall inside one batch.
  EntornoImportacion e(GetParam());
  e.Base().Execute("CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20) UNIQUE)");
  e.Definiciones(e.Turnos());
  const V lineas = {"1,Uno", "2,Dos", "x,Malo", "3,Uno", "1,Uno bis", "4,Cuatro", "5,Cinco"};
  e.Fuente("Turno.txt", lineas);

  EXPECT_EQ(e.Importa(Lote(3)), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}),
            (Filas{{"1", "Uno bis"}, {"2", "Dos"}, {"4", "Cuatro"}, {"5", "Cinco"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"),
            (V{lineas[0], lineas[1], lineas[4], lineas[5], lineas[6]}));
  V er = e.Resultado("Turno_Er.txt");
  ASSERT_EQ(er.size(), 2u);
  // a key that is not a number is refused by its lookup, naming column and
  // value; last of its batch, it left the others' lookups read together
  EXPECT_EQ(er[0], lineas[2] + "(No coinciden los tipos (columna ID, valor 'x'), Columna:0)");
  EXPECT_EQ(e.Log().size(), 2u) << ::testing::PrintToString(e.Log());
  // the database's own refusal keeps its reason and its negative number's text
  EXPECT_EQ(er[1].rfind(lineas[3] + "(", 0), 0u) << er[1];
  EXPECT_NE(er[1].find(", Columna:0)"), std::string::npos) << er[1];
  EXPECT_FALSE(e.Base().EnTransaccion());
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 7 leídas, 4 agregadas, 1 actualizadas, 2 rechazadas "
                              "(Log/Turno_Er.txt), 0 sin procesar"}));
}

TEST_P(LotesEn, UnaLineaVeLoQueEscribioOtraAnteriorDelMismoLote) {
  // One batch: the same key twice, and one number written two ways. The
  // lookups of a batch may be fetched before its first record is written;
  // a later line must still find the row an earlier one added.
  EntornoImportacion e(GetParam());
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  e.Fuente("Turno.txt", {"1,Uno", "7,Siete", "1,Uno bis", "007,Siete bis", "8,Ocho"});

  EXPECT_EQ(e.Importa(Lote(100)), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}),
            (Filas{{"1", "Uno bis"}, {"7", "Siete bis"}, {"8", "Ocho"}}));
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 5 leídas, 3 agregadas, 2 actualizadas, 0 rechazadas, "
                              "0 sin procesar"}));
}

TEST_P(LotesEn, InterrupcionConfirmaElLoteEnCursoYNoPierdeNadaReportado) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  V lineas;
  for (int i = 1; i <= 10; ++i) lineas.push_back(std::to_string(i) + ",T" + std::to_string(i));
  e.Fuente("Turno.txt", lineas);

  int consultas = 0;
  e.Importa(Lote(4), [&] { return ++consultas > 6; });
  // six records read, the batch in progress committed: every reported line has its row
  V ok = e.Resultado("Turno_Ok.txt");
  EXPECT_EQ(ok, V(lineas.begin(), lineas.begin() + 6));
  EXPECT_EQ(e.Lee("Turno", {"ID"}).size(), ok.size());
  EXPECT_EQ(
      e.Resumenes(),
      (V{"Resumen Turno: 10 leídas, 6 agregadas, 0 actualizadas, 0 rechazadas, 4 sin procesar"}));
  V log = e.Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log[log.size() - 2].find("interrumpida en la tabla Turno, después de 6 de 10"),
            std::string::npos)
      << log[log.size() - 2];
}

// The maximum of rejections stops the table and counts the rest as not
// processed: reached at the end of a batch of 2, and inside a batch at the
// default size, whose lines were read ahead (here the file's only one). The
// stop is said once, in the log and where the person is, and the table
// counts as not done.
TEST_P(LotesEn, MaximoDeRechazosDetieneLaTablaYCuentaElResto) {
  V largo;
  for (int i = 1; i <= 30; ++i)
    largo.push_back(i % 3 == 0 ? "x" + std::to_string(i) + ",Malo" : std::to_string(i) + ",T");
  struct Caso {
    long lote, maximo;
    V lineas;
    std::size_t procesadas;
    std::string resumen;
  };
  const Caso casos[] = {
      {2,
       2,
       {"1,Uno", "x,Malo", "2,Dos", "y,Malo", "3,Tres", "4,Cuatro"},
       4,
       "6 leídas, 2 agregadas, 0 actualizadas, 2 rechazadas (Log/Turno_Er.txt), 2 sin procesar"},
      {0, 4, largo, 12,
       "30 leídas, 8 agregadas, 0 actualizadas, 4 rechazadas (Log/Turno_Er.txt), 18 sin "
       "procesar"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.lote);
    EntornoImportacion e(GetParam());
    e.Base().Execute(kCreaTurno);
    e.Definiciones(e.Turnos());
    e.Fuente("Turno.txt", c.lineas);
    Corrida::Opciones o = Lote(c.lote);
    o.maxRechazos = c.maximo;

    EXPECT_EQ(e.Importa(o), 4);
    const std::string detencion = "La tabla Turno se detuvo al llegar a " +
                                  std::to_string(c.maximo) +
                                  " líneas rechazadas; el resto no se procesó";
    EXPECT_EQ(e.Log()[1], detencion);
    EXPECT_EQ(e.avisos, V{detencion});
    // the valid lines among those processed have their rows, no other
    Filas filas;
    for (std::size_t i = 0; i < c.procesadas; ++i)
      if (std::isdigit(static_cast<unsigned char>(c.lineas[i][0])))
        filas.push_back({c.lineas[i].substr(0, c.lineas[i].find(','))});
    std::sort(filas.begin(), filas.end());
    EXPECT_EQ(e.Lee("Turno", {"ID"}), filas);
    EXPECT_EQ(e.Resultado("Turno_Ok.txt").size() + e.Resultado("Turno_Er.txt").size(),
              c.procesadas);
    EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: " + c.resumen}));
    ASSERT_EQ(e.importaciones.size(), 1u);
    EXPECT_EQ(e.importaciones[0].estado, EstadoImportacion::Incompleta);
    EXPECT_EQ(e.importaciones[0].motivo, detencion);
  }
}

TEST_P(LotesEn, BorrarAntesDeImportarEsTodoONada) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos("Borrar antes de importar=1\r\n"));
  e.Fuente("Turno.txt", {"1,Viejo", "2,Viejo"});
  ASSERT_EQ(e.Importa(Lote(1)), 0);
  const V okAnterior = e.Resultado("Turno_Ok.txt");

  // A reload interrupted after three of its records leaves the old rows and
  // the old result files, and no half-written ones beside them.
  e.Fuente("Turno.txt", {"7,Nuevo", "8,Nuevo", "9,Nuevo", "10,Nuevo"});
  int consultas = 0;
  e.Importa(Lote(1), [&] { return ++consultas > 3; });
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "Viejo"}, {"2", "Viejo"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), okAnterior);
  EXPECT_FALSE(std::filesystem::exists(e.Archivo("Log/Turno_Ok.txt.pendiente")));

  // Uninterrupted, the delete and the records commit together.
  EXPECT_EQ(e.Importa(Lote(1)), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"10"}, {"7"}, {"8"}, {"9"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt").size(), 4u);
}

TEST_P(LotesEn, SimulacionDaElMismoVeredictoSinTocarNada) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  e.Fuente("Turno.txt", {"1,Uno"});
  ASSERT_EQ(e.Importa(), 0);
  const V lineas = {"2,Dos", "x,Malo", "2,Dos bis"};
  e.Fuente("Turno.txt", lineas);
  Corrida::Opciones simular;
  simular.simular = true;

  EXPECT_EQ(e.Importa(simular), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "Uno"}}));
  // a later line saw the earlier one's row (an update), then all was rolled back
  EXPECT_EQ(e.Resultado("Turno_Simulado_Ok.txt"), (V{lineas[0], lineas[2]}));
  EXPECT_EQ(e.Resultado("Turno_Simulado_Er.txt").size(), 1u);
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{"1,Uno"}));
}

// A dry run gives its rows back, not the sequence values their inserts took
// where the database keeps those outside the transaction: the database's own
// next value is the judge of whether the summary must say so.
TEST_P(LotesEn, SimulacionDiceSiConsumioSecuencias) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(GetParam() == MotorPrueba::SQLite
                       ? "CREATE TABLE Contador (N INTEGER PRIMARY KEY AUTOINCREMENT, "
                         "Clave INT NOT NULL UNIQUE, Nombre VARCHAR(20))"
                       : "CREATE TABLE Contador (N SERIAL PRIMARY KEY, "
                         "Clave INT NOT NULL UNIQUE, Nombre VARCHAR(20))");
  e.Definiciones(ListaTablas({"Contador"}) + e.Seccion("Contador", "Clave", {"Clave", "Nombre"}));
  e.Fuente("Contador.txt", {"1,Uno", "2,Dos", "3,Tres"});
  Corrida::Opciones simular;
  simular.simular = true;
  EXPECT_EQ(e.Importa(simular), 0);

  e.Base().Execute("INSERT INTO Contador (Clave, Nombre) VALUES (99, 'real')");
  const Filas filas = e.Lee("Contador", {"N"});
  ASSERT_EQ(filas.size(), 1u);
  const bool consumidos = filas[0][0] != "1";
  std::string resumen;
  for (const std::string& l : LineasDe(LeeBytes(LogDeLaCorrida(e.Archivo("")))))
    if (l.rfind("Resumen (simulación) Contador: 3 leídas, 3 agregadas", 0) == 0) resumen = l;
  ASSERT_FALSE(resumen.empty());
  EXPECT_EQ(resumen.find("consumieron valores de secuencias") != std::string::npos, consumidos)
      << resumen << " / siguiente valor: " << filas[0][0];
}

INSTANTIATE_TEST_SUITE_P(Motores, LotesEn, TodosLosMotores(), NombreMotor);

TEST(LotesPostgreSql, ConfirmacionFallidaSeRepiteRegistroARegistro) {
  // A constraint checked only at commit makes the whole batch fail: it is
  // replayed one record per transaction, so only the record at fault is lost.
  EntornoImportacion e(MotorPrueba::PostgreSql);
  e.Base().Execute(
      "CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, "
      "Nombre VARCHAR(20) UNIQUE DEFERRABLE INITIALLY DEFERRED)");
  e.Definiciones(e.Turnos());
  const V lineas = {"1,Uno", "2,Dos", "3,Uno", "4,Cuatro"};
  e.Fuente("Turno.txt", lineas);

  EXPECT_EQ(e.Importa(Lote(10)), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}, {"2"}, {"4"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{lineas[0], lineas[1], lineas[3]}));
  V er = e.Resultado("Turno_Er.txt");
  ASSERT_EQ(er.size(), 1u);
  EXPECT_EQ(er[0].rfind(lineas[2] + "(", 0), 0u) << er[0];
}

TEST(LotesPostgreSql, FilaRechazadaPorLaBaseDentroDeUnLoteEscritoJunto) {
  // New rows of a batch, and changes of rows it found, are written together
  // at its end; a row the server refuses there (a check constraint) costs
  // that record only, with the server's reason, and counts once.
  EntornoImportacion e(MotorPrueba::PostgreSql);
  e.Base().Execute(
      "CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20) "
      "CONSTRAINT nombre_valido CHECK (Nombre <> 'Malo'))");
  e.Definiciones(e.Turnos());
  const V lineas = {"1,Uno", "2,Malo", "3,Tres", "4,Cuatro"};
  e.Fuente("Turno.txt", lineas);

  EXPECT_EQ(e.Importa(Lote(10)), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}, {"3"}, {"4"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{lineas[0], lineas[2], lineas[3]}));
  V er = e.Resultado("Turno_Er.txt");
  ASSERT_EQ(er.size(), 1u);
  EXPECT_EQ(er[0].rfind(lineas[1] + "(", 0), 0u) << er[0];
  EXPECT_NE(er[0].find("nombre_valido"), std::string::npos) << er[0];
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 4 leídas, 3 agregadas, 0 actualizadas, 1 rechazadas "
                              "(Log/Turno_Er.txt), 0 sin procesar"}));

  const V cambios = {"1,Uno bis", "3,Malo", "4,Cuatro bis"};
  e.Fuente("Turno.txt", cambios);
  EXPECT_EQ(e.Importa(Lote(10)), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}),
            (Filas{{"1", "Uno bis"}, {"3", "Tres"}, {"4", "Cuatro bis"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{cambios[0], cambios[2]}));
  er = e.Resultado("Turno_Er.txt");
  ASSERT_EQ(er.size(), 1u);
  EXPECT_EQ(er[0].rfind(cambios[1] + "(", 0), 0u) << er[0];
  EXPECT_NE(er[0].find("nombre_valido"), std::string::npos) << er[0];

  // The batch refused when its rows are written together is done again
  // record by record: the line rejected in both passes counts once toward
  // the maximum of rejections.
  e.Fuente("Turno.txt", {"5,Cinco", "x,Tipo", "6,Malo", "7,Siete", "8,Ocho"});
  Corrida::Opciones o = Lote(4);
  o.maxRechazos = 3;
  EXPECT_EQ(e.Importa(o), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}, {"3"}, {"4"}, {"5"}, {"7"}, {"8"}}));
  EXPECT_EQ(e.Resumenes().back(),
            "Resumen Turno: 5 leídas, 3 agregadas, 0 actualizadas, "
            "2 rechazadas (Log/Turno_Er.txt), 0 sin procesar");
  for (const std::string& l : e.Log()) EXPECT_EQ(l.find("se detuvo"), std::string::npos) << l;
}

// A batch is cut by the bytes of its lines as well as by its records: lines
// of 900 KB commit five at a time (4 MiB) under the default of 1000 records.
// Seen through what a lost connection leaves: the batches committed before
// it, and nothing of the one in hand.
TEST(LotesPostgreSql, LineasLargasCortanElLotePorSusBytes) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  e.Base().Execute("CREATE TABLE Nota (ID INT NOT NULL PRIMARY KEY, Texto TEXT)");
  e.Definiciones(ListaTablas({"Nota"}) + e.Seccion("Nota", "ID", {"ID", "Texto"}));
  V lineas;
  for (int i = 1; i <= 14; ++i)
    lineas.push_back(std::to_string(i) + "," + std::string(900000, 'n'));
  e.Fuente("Nota.txt", lineas);
  auto corrida = db::Conexion::Abre(e.Cadena());
  corrida->Execute("CREATE TABLE SesionCorrida AS SELECT pg_backend_pid() AS pid");

  // the server ends the run's session before the 13th line is read
  int vueltas = 0;
  const int estado = e.Importa(
      {},
      [&] {
        if (++vueltas == 13)
          e.Base().Execute("SELECT pg_terminate_backend(pid) FROM SesionCorrida");
        return false;
      },
      std::move(corrida));

  EXPECT_EQ(estado, 3);
  const V ok = e.Resultado("Nota_Ok.txt");
  EXPECT_EQ(ok.size(), 10u);
  EXPECT_TRUE(ok == V(lineas.begin(), lineas.begin() + 10));  // not printed: 9 MB
  EXPECT_EQ(e.Lee("Nota", {"ID"}).size(), 10u);
}

}  // namespace
}  // namespace varlo::prueba
