#include "common/Kelto_API_INIFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::EscribeBytes;
using prueba::LeeBytes;

class Perfil : public ::testing::Test {
 protected:
  CarpetaTemporal tmp;
  Kelto_API_INIFiles ini;
  std::string archivo = tmp.Archivo("defs.ini");
  std::string Lee(const std::string& s, const std::string& k, const std::string& d = "def") {
    return ini.API_GetPrivateProfileString(archivo, s, k, d);
  }
};

// Per file: (section, key, default, what is read). Names match without
// regard to case and are trimmed; a key present but empty is not the
// default; quotes, "=" and comments; the first duplicate wins, keys before
// any section are invisible, and every line end reads.
TEST_F(Perfil, ReadingRules) {
  using Lectura = std::array<std::string, 4>;
  const std::vector<std::pair<std::string, std::vector<Lectura>>> casos = {
      {"[ EMPLEADO ]\r\n  Columnas \t=   3   \r\n",
       {{"Empleado", "columnas", "def", "3"}, {" empleado ", " COLUMNAS", "def", "3"}}},
      {"[Tablas]\r\nTabla1=\r\nTabla2\r\n",
       {{"Tablas", "Tabla1", "Empleado", ""},
        {"Tablas", "Tabla2", "Empleado", "Empleado"},  // no "=": not a key
        {"Tablas", "Tabla3", "  Empleado  ", "Empleado"},
        {"Otra", "Tabla1", "x", "x"}}},
      {"[s]\r\nk1=\"  entre comillas  \"\r\nk2='x'\r\nk3=\"abc'\r\nk4 = a = b  c\r\n"
       ";k5=comentario\r\n#k6=clave\r\nk7=v ; nota\r\n",
       {{"s", "k1", "def", "entre comillas"},  // quotes removed, then the spaces trimmed
        {"s", "k2", "def", "x"},
        {"s", "k3", "def", "\"abc'"},
        {"s", "k4", "def", "a = b  c"},
        {"s", "k5", "def", "def"},
        {"s", "#k6", "def", "clave"},
        {"s", "k7", "def", "v ; nota"}}},
      {"k=fuera\r[a]\nx=1\r\nx=2\r[A]\ny=3",
       {{"a", "x", "def", "1"}, {"a", "y", "def", "def"}, {"", "k", "def", "def"}}}};
  for (const auto& [texto, lecturas] : casos) {
    EscribeBytes(archivo, texto);
    for (const auto& [seccion, clave, omision, esperado] : lecturas)
      EXPECT_EQ(Lee(seccion, clave, omision), esperado)
          << texto << " [" << seccion << "] " << clave;
  }
  EXPECT_EQ(ini.API_GetPrivateProfileString(tmp.Archivo("no.ini"), "a", "b", "por omisión "),
            "por omisión");
}

TEST_F(Perfil, WritesCreateFileSectionsAndKeysInOrder) {
  ASSERT_TRUE(ini.API_WritePrivateProfileString(archivo, "App1", "key1", "string1"));
  ini.API_WritePrivateProfileString(archivo, "App1", "key2", "string2");
  ini.API_WritePrivateProfileString(archivo, "App2", "key4", "string4");
  ini.API_WritePrivateProfileString(archivo, "App1", "key3", "");
  EXPECT_EQ(LeeBytes(archivo),
            "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=\r\n[App2]\r\nkey4=string4\r\n");
  EXPECT_EQ(Lee("App1", "key3"), "");
  // a long value reads back whole
  const std::string largo = "Provider=SQLOLEDB.1;" + std::string(300, 'x');
  ASSERT_TRUE(ini.API_WritePrivateProfileString(archivo, "App2", "Conexion", largo));
  EXPECT_EQ(Lee("App2", "Conexion"), largo);
}

TEST_F(Perfil, WriteChangesOnlyWhatItMust) {
  std::string original =
      "; definiciones\r\n[Opciones]\r\nReporteLog = 1\r\n\r\n[Empleado]\nColumnas=2\n[Fin]";
  EscribeBytes(archivo, original);
  ini.API_WritePrivateProfileString(archivo, "OPCIONES", "REPORTELOG", "0");
  ini.API_WritePrivateProfileString(archivo, "empleado", "Formato", "1");
  ini.API_WritePrivateProfileString(archivo, "Nueva", "k", "v");
  EXPECT_EQ(LeeBytes(archivo),
            "; definiciones\r\n[Opciones]\r\nReporteLog=0\r\n\r\n[Empleado]\nColumnas=2\n"
            "Formato=1\r\n[Fin]\r\n[Nueva]\r\nk=v\r\n");
}

TEST_F(Perfil, WriteIsAtomicAndRefusedOnReadOnlyFile) {
  EscribeBytes(archivo, "[a]\r\nx=1\r\n");
  ASSERT_TRUE(ini.API_WritePrivateProfileString(archivo, "a", "x", "2"));
  int archivos = 0;
  for (auto& e : std::filesystem::directory_iterator(tmp.Ruta())) (void)e, ++archivos;
  EXPECT_EQ(archivos, 1) << "queda un temporal";
  std::filesystem::permissions(archivo, std::filesystem::perms::owner_read);
  EXPECT_FALSE(ini.API_WritePrivateProfileString(archivo, "a", "x", "3"));
  EXPECT_EQ(Lee("a", "x"), "2");
  EXPECT_FALSE(ini.API_WritePrivateProfileString(tmp.Archivo("no/hay/x.ini"), "a", "x", "3"));
}

// The copy that becomes the file is a new file: a name already taken, even
// by a link planted beside a file that may hold a password, is never written
// through, and the copy keeps the file's permissions.
TEST_F(Perfil, TemporaryCopyIsNewAndKeepsPermissions) {
  namespace fs = std::filesystem;
  EscribeBytes(archivo, "[a]\r\nx=1\r\n");
  fs::permissions(archivo, fs::perms::owner_read | fs::perms::owner_write);
  const std::string victima = tmp.Archivo("victima.txt");
  EscribeBytes(victima, "intacto");
  fs::create_symlink(victima, archivo + ".0.tmp");

  ASSERT_TRUE(ini.API_WritePrivateProfileString(archivo, "a", "clave", "secreto"));
  EXPECT_EQ(LeeBytes(victima), "intacto");
  EXPECT_EQ(Lee("a", "clave"), "secreto");
  EXPECT_EQ(fs::status(archivo).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

// A file that starts with a UTF-8 byte-order mark is UTF-8 from its first
// section on; a write keeps the mark and writes UTF-8.
TEST_F(Perfil, ByteOrderMarkMeansUtf8) {
  EscribeBytes(archivo, "\xEF\xBB\xBF[Base de Datos]\r\nConexion=año\r\n[Año]\r\nMes=8\r\n");
  EXPECT_EQ(Lee("Base de Datos", "Conexion"), "año");
  EXPECT_EQ(Lee("Año", "Mes"), "8");
  ASSERT_TRUE(ini.API_WritePrivateProfileString(archivo, "Base de Datos", "Usuario", "Peña"));
  ASSERT_TRUE(ini.API_WritePrivateProfileString(archivo, "Señal", "Nivel", "ñ"));
  EXPECT_EQ(LeeBytes(archivo),
            "\xEF\xBB\xBF[Base de Datos]\r\nConexion=año\r\nUsuario=Peña\r\n[Año]\r\nMes=8\r\n"
            "[Señal]\r\nNivel=ñ\r\n");
  // Without the mark the same bytes are Windows-1252.
  EscribeBytes(archivo, "[A]\r\nB=a\xF1o\r\n");
  EXPECT_EQ(Lee("A", "B"), "año");
}

}  // namespace
}  // namespace varlo
