// The program itself, copied into a private folder (so that "Log" is beside
// it), run on definitions and source files made here, on SQLite and on
// PostgreSQL through ODBC.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

class VarlodiEn : public ::testing::TestWithParam<MotorPrueba> {
 protected:
  // Runs the copied program on defs.ini with no terminal; its exit status.
  int Corre(EntornoImportacion& e) {
    fs::copy_file(fs::path(VARLODI_BIN_DIR) / "varlodi", e.Archivo("varlodi"),
                  fs::copy_options::overwrite_existing);
    std::string orden = "cd '" + e.Archivo("") + "' && LC_ALL=C ./varlodi '" +
                        e.Archivo("defs.ini") + "' </dev/null >salida.txt 2>errores.txt";
    int r = std::system(orden.c_str());
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
  }

  // Log lines as written, stamp included.
  static V LogCompleto(const EntornoImportacion& e) {
    for (const auto& entrada : fs::directory_iterator(e.Archivo("Log")))
      if (entrada.path().filename().string().rfind("VarloDI_", 0) == 0)
        return LineasDe(LeeBytes(entrada.path().string()));
    return {};
  }
};

const char* kJerarquias =
    "[Jerarquias]\r\nFormato=3\r\nNombreIndice=Key\r\nColumnas=2\r\n"
    "CampoColumna1=Key\r\nCampoColumna2=Parent\r\n";

std::string SeccionEmpleado(const EntornoImportacion& e) {
  return "[Empleado]\r\nOrigen=" + e.Archivo("datos/Empleado.txt") +
         "\r\nFormato=1\r\nFormatoFecha=YYYYMMDD\r\nNombreIndice=ID_Empleado\r\n"
         "Jerarquia unica en columna=3\r\nColumnas=6\r\n"
         "CampoColumna1=ID_Empleado\r\nLongitudColumna1=6\r\n"
         "CampoColumna2=Nombre\r\nLongitudColumna2=12\r\n"
         "CampoColumna3=ID_Nivel2\r\nLongitudColumna3=5\r\n"
         "CampoColumna4=Activo\r\nLongitudColumna4=3\r\n"
         "CampoColumna5=FechaAlta\r\nLongitudColumna5=8\r\n"
         "CampoColumna6=Foto\r\nLongitudColumna6=0\r\n";
}

TEST_P(VarlodiEn, ImportaTablasConJerarquiaFotosYRechazos) {
  EntornoImportacion e(GetParam());
  fs::create_directories(e.Archivo("datos/Empleado_Foto"));
  const std::string foto =
      std::string("\xFF\xD8\xFF\xE0", 4) + "foto de Ana" + std::string("\xFF\xD9", 2);
  EscribeBytes(e.Archivo("datos/Empleado_Foto/1.jpg"), foto);
  e.Definiciones("[Tablas]\r\nTotal=2\r\nTabla1=Jerarquias\r\nTabla2=Empleado\r\n" +
                 std::string(kJerarquias) + "Origen=" + e.Archivo("datos/j.txt") + "\r\n" +
                 SeccionEmpleado(e));
  e.Fuente("datos/j.txt", {"_0DIR,", "_1VEN,_0DIR", "_2NTE,_1VEN"});
  const V lineas = {"1     Ana         NTE  Si 20050102", "O'B   Bob         NTE  no 20060230",
                    "      Nadie       NTE  Si 20050102", "1     Ana Maria        N  "};
  e.Fuente("datos/Empleado.txt", lineas);

  EXPECT_EQ(Corre(e), 1);  // one record rejected
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "ID_Nivel2", "ID_Nivel1", "ID_Nivel0",
                               "Activo", "FechaAlta", "Foto"}),
            (Filas{{"1", "Ana Maria", "NTE", "VEN", "DIR", "False", "2005-01-02", foto},
                   {"O'B", "Bob", "NTE", "VEN", "DIR", "False", "2006-03-02", "NULL"}}))
      << LeeBytes(e.Archivo("errores.txt"));
  EXPECT_EQ(e.Resultado("Jerarquias_Ok.txt"), (V{"_0DIR,", "_1VEN,_0DIR", "_2NTE,_1VEN"}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), (V{lineas[0], lineas[1], lineas[3]}));
  EXPECT_EQ(e.Resultado("Empleado_Er.txt"),
            (V{lineas[2] + "(Valor vacío en la columna índice (ID_Empleado), Columna:0)"}));
  V log = e.Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(V(log.begin(), log.begin() + 2), (V{">Inicio de importación", "Fin de importación"}));
}

TEST_P(VarlodiEn, CorridaLimpiaTerminaEnCeroConLineasFechadas) {
  EntornoImportacion e(GetParam());
  e.Definiciones("[Tablas]\r\nTotal=1\r\nTabla1=Jerarquias\r\n" + std::string(kJerarquias) +
                 "Origen=" + e.Archivo("j.txt") + "\r\n");
  e.Fuente("j.txt", {"_0A,", "_1B,_0A"});
  EXPECT_EQ(Corre(e), 0);
  EXPECT_EQ(e.Lee("Jerarquias", {"Key", "Parent"}), (Filas{{"_0A", "NULL"}, {"_1B", "_0A"}}));
  V log = LogCompleto(e);
  ASSERT_GE(log.size(), 2u);
  const std::regex sello(R"((.*) \(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)?\))");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(log[0], m, sello)) << log[0];
  EXPECT_EQ(AnsiAUtf8(m[1].str()), ">Inicio de importación");
  ASSERT_TRUE(std::regex_match(log[1], m, sello)) << log[1];
  EXPECT_EQ(m[1].str(), "Fin de importación" == AnsiAUtf8(m[1].str()) ? m[1].str() : "");
}

INSTANTIATE_TEST_SUITE_P(Motores, VarlodiEn,
                         ::testing::Values(MotorPrueba::SQLite, MotorPrueba::PostgreSql),
                         [](const auto& info) {
                           return info.param == MotorPrueba::SQLite ? "SQLite" : "PostgreSql";
                         });

}  // namespace
}  // namespace varlo::prueba
