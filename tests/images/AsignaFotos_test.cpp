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
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Dialecto.h"
#include "support/CarpetaTemporal.h"
#include "support/RelojFijo.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using db::Bytes;
using prueba::EscribeBytes;

const char* const kInicio = ">Inicio de asignación de fotografías";
const char* const kFin = "Fin de asignación de fotografías";

// A run whose stop is asked for once it was asked `antes` times.
class frmInterrumpido : public frmMain {
 public:
  frmInterrumpido(Ventana& v, int antes) : frmMain(v, ""), antes_(antes) {}
  bool Interrumpida() const override { return preguntas_++ >= antes_; }

 private:
  int antes_;
  mutable int preguntas_ = 0;
};

class AsignacionFotos : public ::testing::Test {
 protected:
  AsignacionFotos() {
    std::setlocale(LC_TIME, "C");
    EstableceCarpetaPrograma(tmp.Ruta());
    // An empty file is an empty SQLite database; the backend never creates one.
    EscribeBytes(tmp.Archivo("varlo.db"), "");
    cadena = "Provider=SQLite;Data Source=" + tmp.Archivo("varlo.db");
    cn = db::Conexion::Abre(cadena);
    cn->Execute("CREATE TABLE empleado (ID_Empleado VARCHAR(20) PRIMARY KEY, Nombre VARCHAR(40))");
    cn->Execute("CREATE TABLE Fotos_Empleados (ID_Empleado VARCHAR(20) PRIMARY KEY, Foto IMAGE)");
    fs::create_directory(tmp.Archivo("fotos"));
  }

  // Runs the assignment on an "Empleado" section with the two photo settings.
  // `interrumpeTras`: the stop is asked for after that many questions.
  void Asigna(const std::string& directorio, const std::string& nombre, int interrumpeTras = -1,
              bool simular = false) {
    f = interrumpeTras < 0 ? std::make_unique<frmMain>(ventana, "")
                           : std::make_unique<frmInterrumpido>(ventana, interrumpeTras);
    f->opciones.simular = simular;
    avisos.clear();
    f->EstableceAvisoError([this](const std::string& linea) { avisos.push_back(linea); });
    f->ArchivoDefiniciones = tmp.Archivo("defs.ini");
    EscribeBytes(f->ArchivoDefiniciones, "[Base de Datos]\r\nConexion=" + cadena +
                                             "\r\n[Empleado]\r\nDirectorioFotos=" + directorio +
                                             "\r\nNombreFotos=" + nombre + "\r\n");
    f->ReporteLog = 1;
    AsignaFotos(*f);
  }

  void Foto(const std::string& nombre, const std::string& bytes) {
    EscribeBytes(tmp.Archivo("fotos/" + nombre), bytes);
  }

  // Log lines without their date and time, and a summary's time as "T s".
  std::vector<std::string> Log() {
    std::string texto =
        DeArchivo(prueba::LeeBytes(tmp.Archivo("Log/VarloDI_Aug2006.log")), Codificacion::Ansi);
    std::vector<std::string> lineas;
    for (const std::string& l : Divide(texto, "\r\n"))
      if (!l.empty())
        lineas.push_back(
            std::regex_replace(std::regex_replace(l, std::regex(R"( \([^()]*\)$)"), ""),
                               std::regex(R"(, \d+,\d s(, \d+(,\d)? por s)?$)"), ", T s"));
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
      r[rs->Texto(id)] = b ? std::string(b->begin(), b->end()) : "<no binario>";
    }
    return r;
  }

  prueba::RelojFijo reloj;
  prueba::CarpetaTemporal tmp;
  std::string cadena;
  std::unique_ptr<db::Conexion> cn;
  VentanaFalsa ventana;
  std::unique_ptr<frmMain> f;
  // Lines shown where the person is (the console's stderr).
  std::vector<std::string> avisos;
};

// Employee 1 has a row and a file, 2 a file only, 3 a row only: the row is
// replaced or added, and a missing file is passed over with no line of its
// own, whether the folder ends in a separator or not; the summary counts each.
TEST_F(AsignacionFotos, ReemplazaOAnadeLaFilaConOSinSeparadorFinal) {
  cn->Execute("INSERT INTO empleado VALUES ('1', 'A'), ('2', 'B'), ('3', 'C')");
  Foto("1.jpg", "nueva de 1");
  Foto("2.jpg", "nueva de 2");
  const std::string carpeta = tmp.Archivo("fotos");
  for (const std::string& directorio : {carpeta, carpeta + "/"}) {
    SCOPED_TRACE(directorio);
    cn->Execute("Delete From Fotos_Empleados");
    cn->Execute("INSERT INTO Fotos_Empleados VALUES ('1', X'0102'), ('3', X'0304')");
    ventana.estados.clear();
    Asigna(directorio, "ID_Empleado");
    EXPECT_EQ(Fotos(), (std::map<std::string, std::string>{
                           {"1", "nueva de 1"}, {"2", "nueva de 2"}, {"3", "\x03\x04"}}));
    // Employee 3 has no file: passed over, counted, not reported.
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         kInicio,
                         "Resumen Fotos_Empleados: 3 leídas, 1 omitidas, 1 agregadas, 1 "
                         "actualizadas, 0 rechazadas, 0 sin procesar, T s",
                         kFin}));
    fs::remove_all(tmp.Archivo("Log"));
    // The status counts every employee, with or without a file.
    EXPECT_EQ(std::vector<std::string>(ventana.estados.begin() + 3, ventana.estados.end() - 1),
              (std::vector<std::string>{"Asignando fotografías...(1 de 3)",
                                        "Asignando fotografías...(2 de 3)",
                                        "Asignando fotografías...(3 de 3)"}));
    EXPECT_EQ(ventana.Valor(), 3);
    EXPECT_EQ(f->EstadoSalida(), 0);
  }
  EXPECT_TRUE(ventana.mensajes.empty());
}

// A dry run counts what a real one would do and leaves every picture as it
// was, also those it added or replaced before it was stopped.
TEST_F(AsignacionFotos, UnaSimulacionNoCambiaNingunaFotografia) {
  cn->Execute("INSERT INTO empleado VALUES ('1', ''), ('2', ''), ('3', '')");
  cn->Execute("INSERT INTO Fotos_Empleados VALUES ('1', X'0102')");
  for (const char* id : {"1", "2", "3"}) Foto(std::string(id) + ".jpg", id);
  Asigna(tmp.Archivo("fotos"), "ID_Empleado", -1, true);
  EXPECT_EQ(Log()[1],
            "Resumen (simulación) Fotos_Empleados: 3 leídas, 2 agregadas, 1 actualizadas, 0 "
            "rechazadas, 0 sin procesar, T s");
  EXPECT_EQ(Fotos(), (std::map<std::string, std::string>{{"1", "\x01\x02"}}));
  EXPECT_EQ(f->EstadoSalida(), 0);
  Asigna(tmp.Archivo("fotos"), "ID_Empleado", 2, true);
  EXPECT_EQ(Fotos(), (std::map<std::string, std::string>{{"1", "\x01\x02"}}));
}

TEST_F(AsignacionFotos, UnIdConApostrofoSeBuscaYSeEscribeComoLiteralSeguro) {
  cn->Execute("INSERT INTO empleado VALUES ('O''Brien', ''), ('x'' OR ''1''=''1', '')");
  cn->Execute("INSERT INTO Fotos_Empleados VALUES ('otro', X'09')");
  Foto("O'Brien.jpg", "de O'Brien");
  Asigna(tmp.Archivo("fotos"), "ID_Empleado");
  // A second run finds the row it wrote and replaces its picture.
  Foto("O'Brien.jpg", "otra vez");
  Foto("x' OR '1'='1.jpg", "inyección");
  Asigna(tmp.Archivo("fotos"), "ID_Empleado");
  EXPECT_EQ(Fotos(),
            (std::map<std::string, std::string>{
                {"O'Brien", "otra vez"}, {"otro", "\x09"}, {"x' OR '1'='1", "inyección"}}));
  EXPECT_EQ(db::CreaDialecto(db::Motor::SqlServer)->Select(ConsultaFotoEmpleado("O'Brien")).texto,
            "Select * From [Fotos_Empleados] Where [ID_Empleado]='O''Brien'");
}

// A picture whose reading fails (a regular file, even for root) and a name
// that would leave the folder are each reported, in the log and on the
// terminal (the lines that explain exit 1), never read; the stored picture
// stays and the assignment goes on.
TEST_F(AsignacionFotos, UnaFotoQueNoSePuedeAsignarSeInformaYLaAsignacionSigue) {
  cn->Execute("INSERT INTO empleado VALUES ('1', ''), ('2', ''), ('../fuera', ''), ('3', '')");
  cn->Execute("INSERT INTO Fotos_Empleados VALUES ('2', X'0A0B')");
  Foto("1.jpg", "uno");
  Foto("3.jpg", "tres");
  EscribeBytes(tmp.Archivo("fuera.jpg"), "fuera de la carpeta");
  const std::string ilegible = tmp.Archivo("fotos/2.jpg");
  fs::create_symlink("/proc/self/mem", ilegible);
  Asigna(tmp.Archivo("fotos"), "ID_Empleado");

  EXPECT_EQ(Fotos(),
            (std::map<std::string, std::string>{{"1", "uno"}, {"2", "\x0A\x0B"}, {"3", "tres"}}));
  const std::vector<std::string> rechazos = {
      "No se pudo asignar la fotografía del empleado 2 (" + ilegible + ")",
      "No se pudo asignar la fotografía del empleado ../fuera: El nombre de fotografía "
      "\"../fuera\" saldría de su carpeta: no puede llevar \"/\" ni \"..\""};
  EXPECT_EQ(Log(), (std::vector<std::string>{kInicio, rechazos[0], rechazos[1],
                                             "Resumen Fotos_Empleados: 4 leídas, 2 agregadas, 0 "
                                             "actualizadas, 2 rechazadas, 0 sin procesar, T s",
                                             kFin}));
  ASSERT_EQ(ventana.mensajes.size(), 1u);
  EXPECT_EQ(ventana.mensajes[0].texto, "ERROR: Error de E/S de dispositivo (" + ilegible + ")");
  EXPECT_EQ(avisos, rechazos);
  EXPECT_EQ(f->EstadoSalida(), 1);
}

// A stop asked for (Ctrl-C, systemctl stop) ends the assignment between
// employees, with a line that says where; the pictures stored before it stay.
TEST_F(AsignacionFotos, UnaInterrupcionDetieneLaAsignacionEntreEmpleados) {
  cn->Execute("INSERT INTO empleado VALUES ('1', ''), ('2', ''), ('3', ''), ('4', '')");
  for (const char* id : {"1", "2", "3", "4"}) Foto(std::string(id) + ".jpg", id);
  Asigna(tmp.Archivo("fotos"), "ID_Empleado", 2);

  EXPECT_EQ(Fotos(), (std::map<std::string, std::string>{{"1", "1"}, {"2", "2"}}));
  const std::string linea = "Asignación de fotografías interrumpida después de 2 de 4 empleados";
  const std::string resumen =
      "Resumen Fotos_Empleados: 4 leídas, 2 agregadas, 0 actualizadas, 0 rechazadas, 2 sin "
      "procesar, T s";
  EXPECT_EQ(Log(), (std::vector<std::string>{kInicio, linea, resumen, kFin}));
  EXPECT_EQ(avisos, (std::vector<std::string>{linea}));
  ASSERT_EQ(f->Importaciones().size(), 1u);
  EXPECT_EQ(f->Importaciones()[0].estado, EstadoImportacion::Incompleta);
  EXPECT_EQ(f->Importaciones()[0].motivo, linea);
  ASSERT_FALSE(ventana.estados.empty());
  EXPECT_EQ(ventana.estados.back().find("terminada"), std::string::npos) << ventana.estados.back();
}

// An assignment that cannot start, or that a failure ends, is not a
// success: its summary says why, and how far it got.
TEST_F(AsignacionFotos, LaQueNoPuedeEmpezarOSeDetieneLoDiceEnSuResumen) {
  cn->Execute("INSERT INTO empleado VALUES ('1', ''), ('2', '')");
  Foto("1.jpg", "uno");
  for (const char* falta : {"DirectorioFotos", "NombreFotos"}) {
    SCOPED_TRACE(falta);
    const bool sinCarpeta = std::string(falta) == "DirectorioFotos";
    Asigna(sinCarpeta ? " " : tmp.Archivo("fotos"), sinCarpeta ? "ID_Empleado" : "");
    const std::string motivo = std::string("No se asignan fotografías: falta \"") + falta +
                               "\" en la sección Empleado del archivo de definiciones";
    EXPECT_EQ(Log(),
              (std::vector<std::string>{
                  kInicio, motivo, "Resumen Fotos_Empleados: no importada — " + motivo, kFin}));
    ASSERT_EQ(f->Importaciones().size(), 1u);
    EXPECT_EQ(f->Importaciones()[0].estado, EstadoImportacion::NoImportada);
    EXPECT_EQ(f->EstadoSalida(), 4);
    fs::remove_all(tmp.Archivo("Log"));
  }
  EXPECT_TRUE(Fotos().empty());

  // a column that the employees do not have ends it before the first one
  Asigna(tmp.Archivo("fotos"), "Apodo");
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2],
            "Resumen Fotos_Empleados: 2 leídas, 0 agregadas, 0 actualizadas, 0 rechazadas, 2 sin "
            "procesar, T s");
  ASSERT_EQ(f->Importaciones().size(), 1u);
  EXPECT_EQ(f->Importaciones()[0].estado, EstadoImportacion::Incompleta);
  EXPECT_EQ(f->Importaciones()[0].motivo, log[1]);
  EXPECT_EQ(f->EstadoSalida(), 4);
  EXPECT_TRUE(Fotos().empty());
}

}  // namespace
}  // namespace varlo
