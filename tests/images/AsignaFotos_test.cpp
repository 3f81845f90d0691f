// The bulk photo assignment over a fresh SQLite database.
#include "images/AsignaFotos.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <map>
#include <regex>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Kelto_GEN_Trans.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Dialecto.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using db::Bytes;
using prueba::CarpetaTemporal;
using prueba::EscribeBytes;

const char* const kInicio = ">Inicio de asignación de fotografías";
const char* const kFin = "Fin de asignación de fotografías";

class AsignacionFotos : public ::testing::Test {
 protected:
  AsignacionFotos() {
    std::setlocale(LC_TIME, "C");
    EstableceCarpetaPrograma(tmp.Ruta());
    // An empty file is an empty SQLite database; the backend never creates one.
    EscribeBytes(tmp.Archivo("varlo.db"), "");
    cadena = "Provider=SQLite;Data Source=" + tmp.Archivo("varlo.db");
    cn = db::Conexion::Abre(cadena);
    cn->Execute(
        "CREATE TABLE empleado (ID_Empleado VARCHAR(20) PRIMARY KEY, Nombre VARCHAR(40), "
        "Gafete VARCHAR(10))");
    cn->Execute("CREATE TABLE Fotos_Empleados (ID_Empleado VARCHAR(20) PRIMARY KEY, Foto IMAGE)");
    fs::create_directory(tmp.Archivo("fotos"));
  }

  void Ejecuta(const std::string& sql) { cn->Execute(sql); }

  // The "Empleado" section with the two photo settings.
  std::string Definiciones(const std::string& directorio, const std::string& nombre) {
    std::string ruta = tmp.Archivo("defs.ini");
    EscribeBytes(ruta, "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + cadena +
                           "\r\n[Empleado]\r\nDirectorioFotos=" + directorio +
                           "\r\nNombreFotos=" + nombre + "\r\n");
    return ruta;
  }

  // Runs the assignment as the window does after reading the options.
  void Asigna(const std::string& directorio, const std::string& nombre) {
    f = std::make_unique<frmMain>(ventana, "");
    f->ArchivoDefiniciones = Definiciones(directorio, nombre);
    f->ReporteLog = 1;
    AsignaFotos(*f);
  }

  std::string Foto(const std::string& nombre, const std::string& bytes) {
    std::string ruta = tmp.Archivo("fotos/" + nombre);
    EscribeBytes(ruta, bytes);
    return ruta;
  }

  // Log lines without their date and time.
  std::vector<std::string> Log() {
    std::string texto =
        DeArchivo(prueba::LeeBytes(Kelto_GEN_Trans::ArchivoMensual(frmMain::ArchivoLog())),
                  Codificacion::Ansi);
    std::vector<std::string> lineas;
    for (const std::string& l : Divide(texto, "\r\n"))
      if (!l.empty()) lineas.push_back(std::regex_replace(l, std::regex(R"( \([^()]*\)$)"), ""));
    return lineas;
  }

  std::map<std::string, std::string> Fotos() {
    db::Consulta c;
    c.tabla = "Fotos_Empleados";
    std::map<std::string, std::string> r;
    auto rs = cn->AbreConsulta(c, 0);
    const int id = rs->IndiceCampo("ID_Empleado"), foto = rs->IndiceCampo("Foto");
    for (; !rs->EOF_(); rs->MoveNext()) {
      const db::Valor& v = rs->Value(foto);
      const Bytes* b = std::get_if<Bytes>(&v);
      r[rs->Texto(id)] = b ? std::string(b->begin(), b->end()) : "<" + rs->Texto(foto) + ">";
    }
    return r;
  }

  CarpetaTemporal tmp;
  std::string cadena;
  std::unique_ptr<db::Conexion> cn;
  VentanaFalsa ventana;
  std::unique_ptr<frmMain> f;
};

TEST_F(AsignacionFotos, LaCarpetaConOSinSeparadorFinalDaLasMismasRutas) {
  Ejecuta("INSERT INTO empleado VALUES ('00123', 'Ana', ' G1 ')");
  Foto("00123.jpg", "foto por id");
  Foto("G1.jpg", "foto por gafete");
  const std::string carpeta = tmp.Archivo("fotos");
  for (const std::string& directorio : {carpeta, carpeta + "/", "  " + carpeta + "  "}) {
    SCOPED_TRACE(directorio);
    Ejecuta("Delete From Fotos_Empleados");
    Asigna(directorio, "ID_Empleado");
    EXPECT_EQ(Fotos(), (std::map<std::string, std::string>{{"00123", "foto por id"}}));
  }
  // The column named by "NombreFotos" gives the file name, trimmed.
  Asigna(carpeta, "Gafete");
  EXPECT_EQ(Fotos(), (std::map<std::string, std::string>{{"00123", "foto por gafete"}}));
  EXPECT_TRUE(ventana.mensajes.empty());
  EXPECT_EQ(f->EstadoSalida(), 0);
}

TEST_F(AsignacionFotos, ReemplazaOAnadeLaFilaYPasaPorAltoAQuienNoTieneArchivo) {
  Ejecuta(
      "INSERT INTO empleado VALUES ('1', 'Con fila', NULL), ('2', 'Sin fila', NULL), "
      "('3', 'Sin archivo', NULL), ('4', 'Sin archivo ni fila', NULL)");
  Ejecuta("INSERT INTO Fotos_Empleados VALUES ('1', X'0102'), ('3', X'0304')");
  Foto("1.jpg", "nueva de 1");
  Foto("2.jpg", "nueva de 2");
  Asigna(tmp.Archivo("fotos"), "ID_Empleado");
  EXPECT_EQ(Fotos(), (std::map<std::string, std::string>{
                         {"1", "nueva de 1"}, {"2", "nueva de 2"}, {"3", "\x03\x04"}}));
  EXPECT_EQ(Log(), (std::vector<std::string>{kInicio, kFin}));
  // The status counts every employee, with or without a file; the bar ends at the total.
  EXPECT_EQ(ventana.estados,
            (std::vector<std::string>{
                "Preparando asignación de fotografías...", "Conectando con la base de datos...",
                "Obteniendo empleados de la base de datos...", "Asignando fotografías...(1 de 4)",
                "Asignando fotografías...(2 de 4)", "Asignando fotografías...(3 de 4)",
                "Asignando fotografías...(4 de 4)", "...asignación de fotografías terminada!"}));
  EXPECT_EQ(ventana.valores.front(), 0);
  EXPECT_EQ(ventana.Maximo(), 4);
  EXPECT_EQ(ventana.Valor(), 4);
  EXPECT_GE(ventana.eventosProcesados, 4);
}

TEST_F(AsignacionFotos, UnIdConApostrofoSeBuscaYSeEscribeComoLiteralSeguro) {
  Ejecuta("INSERT INTO empleado VALUES ('O''Brien', '', NULL), ('x'' OR ''1''=''1', '', NULL)");
  Ejecuta("INSERT INTO Fotos_Empleados VALUES ('otro', X'09')");
  Foto("O'Brien.jpg", "de O'Brien");
  Asigna(tmp.Archivo("fotos"), "ID_Empleado");
  EXPECT_EQ(Fotos(),
            (std::map<std::string, std::string>{{"O'Brien", "de O'Brien"}, {"otro", "\x09"}}));
  // A second run finds the row it wrote and replaces its picture.
  Foto("O'Brien.jpg", "otra vez");
  Foto("x' OR '1'='1.jpg", "inyección");
  Asigna(tmp.Archivo("fotos"), "ID_Empleado");
  EXPECT_EQ(Fotos(),
            (std::map<std::string, std::string>{
                {"O'Brien", "otra vez"}, {"otro", "\x09"}, {"x' OR '1'='1", "inyección"}}));

  auto sqlServer = db::CreaDialecto(db::Motor::SqlServer);
  EXPECT_EQ(sqlServer->Select(ConsultaFotoEmpleado("O'Brien")).texto,
            "Select * From Fotos_Empleados Where ID_Empleado='O''Brien'");
  EXPECT_EQ(sqlServer->Select(ConsultaEmpleados()).texto, "select * from empleado");
}

TEST_F(AsignacionFotos, UnaFotoIlegibleSeInformaYLaAsignacionSigue) {
  if (!fs::is_regular_file("/proc/self/mem")) GTEST_SKIP() << "sin /proc";
  Ejecuta(
      "INSERT INTO empleado VALUES ('1', '', NULL), ('2', '', NULL), ('3', '', NULL), "
      "('4', '', NULL)");
  Ejecuta("INSERT INTO Fotos_Empleados VALUES ('2', X'0A0B')");
  Foto("1.jpg", "uno");
  Foto("3.jpg", "tres");
  // Regular files whose reading fails, even for root: the stored picture of
  // 2 stays, and 4 gets no row without a picture.
  const std::string ilegible = tmp.Archivo("fotos/2.jpg");
  fs::create_symlink("/proc/self/mem", ilegible);
  fs::create_symlink("/proc/self/mem", tmp.Archivo("fotos/4.jpg"));
  Asigna(tmp.Archivo("fotos"), "ID_Empleado");

  EXPECT_EQ(Fotos(),
            (std::map<std::string, std::string>{{"1", "uno"}, {"2", "\x0A\x0B"}, {"3", "tres"}}));
  EXPECT_EQ(
      Log(),
      (std::vector<std::string>{
          kInicio, "No se pudo asignar la fotografía del empleado 2 (" + ilegible + ")",
          "No se pudo asignar la fotografía del empleado 4 (" + tmp.Archivo("fotos/4.jpg") + ")",
          kFin}));
  EXPECT_EQ(ventana.Valor(), 4);
  ASSERT_EQ(ventana.mensajes.size(), 2u);
  EXPECT_EQ(ventana.mensajes[0].texto, "ERROR: Error de E/S de dispositivo (" + ilegible + ")");
  EXPECT_EQ(ventana.mensajes[0].titulo, "VarloDI");
  EXPECT_EQ(f->EstadoSalida(), 1);
}

TEST_F(AsignacionFotos, SinAjustesOSinEmpleadosSoloHayInicioYFin) {
  Foto("1.jpg", "uno");
  for (auto [directorio, nombre] :
       {std::pair<std::string, std::string>{"", "ID_Empleado"}, {tmp.Archivo("fotos"), "   "}}) {
    Asigna(directorio, nombre);
    EXPECT_EQ(Log(), (std::vector<std::string>{kInicio, kFin}));
    fs::remove_all(tmp.Archivo("Log"));
  }
  // Nothing was asked of the database.
  EXPECT_EQ(ventana.estados, (std::vector<std::string>{"Preparando asignación de fotografías...",
                                                       "Preparando asignación de fotografías..."}));

  Asigna(tmp.Archivo("fotos"), "ID_Empleado");
  EXPECT_EQ(Log(), (std::vector<std::string>{kInicio, "No tiene empleados registrados", kFin}));
  EXPECT_TRUE(Fotos().empty());
}

TEST_F(AsignacionFotos, OtroErrorTerminaLaAsignacionConSuLineaDeError) {
  Ejecuta("INSERT INTO empleado VALUES ('1', '', NULL), ('2', '', NULL)");
  Foto("1.jpg", "uno");
  Asigna(tmp.Archivo("fotos"), "NoExiste");
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], kInicio);
  EXPECT_TRUE(std::regex_match(log[1], std::regex(R"(\[[^\]]+\] Error: 3265 .+)"))) << log[1];
  EXPECT_EQ(log[2], kFin);
  EXPECT_TRUE(Fotos().empty());
  EXPECT_EQ(f->EstadoSalida(), 1);
}

}  // namespace
}  // namespace varlo
