#pragma once
// Settings read from INI text as the import reads them, and a whole absence-
// planning run in this process on a fresh database with the example schema
// (SQLite unless told): its log messages (without stamps), result files and
// Kardex rows.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "definitions/LectorDefiniciones.h"
#include "incidences/DefinicionIncidencias.h"
#include "incidences/ImportaIncidencias.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/FilasTabla.h"
#include "support/MotoresPrueba.h"
#include "support/RelojFijo.h"

namespace varlo::prueba {

// Comma layout: employee, start, end, type, Dato0, Dato1, Referencia.
inline const std::string kComas =
    "Formato=3\r\nColumnas=7\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\n"
    "CampoColumna3=Fecha2\r\nCampoColumna4=ID_Tipo\r\nCampoColumna5=Dato0_FAL\r\n"
    "CampoColumna6=Dato1_FAL\r\nCampoColumna7=Referencia\r\n";

inline DefinicionIncidencias LeeDefinicionDe(const CarpetaTemporal& tmp, const std::string& ini) {
  EscribeBytes(tmp.Archivo("defs.ini"), ini);
  Kelto_API_INIFiles perfil;
  DefinicionIncidencias d;
  LeeDefinicion(LectorDefiniciones(perfil, tmp.Archivo("defs.ini")), d);
  return d;
}

// Lines of a Windows-1252 file as UTF-8, blank ones left out; `sinSello` drops
// the stamp of a log line.
inline std::vector<std::string> LineasDe(const std::string& ruta, bool sinSello = false) {
  std::vector<std::string> r;
  for (const std::string& l : Divide(AnsiAUtf8(LeeBytes(ruta)), "\r\n"))
    if (!l.empty()) r.push_back(sinSello ? l.substr(0, l.rfind(" (")) : l);
  return r;
}

// The rows of a table as "a|b|c" (null as empty, CHAR padding trimmed), sorted.
inline std::vector<std::string> Filas(const std::string& cadena, const std::string& tabla,
                                      const std::vector<std::string>& columnas) {
  std::vector<std::string> filas;
  for (const auto& f : LeeFilas(*db::Conexion::Abre(cadena), tabla, columnas, ""))
    filas.push_back(Une(f, "|"));
  std::sort(filas.begin(), filas.end());
  return filas;
}

// Ranges of one to four days that overlap other lines of the same employee
// (a day written twice in one batch), an end before the start, a date that
// is none, a value too long for its column (the record's other days are
// abandoned) and a line without an employee (the database refuses its row).
inline std::vector<std::string> PlaneacionAlAzar(unsigned semilla, int n) {
  std::mt19937 azar(semilla);
  auto entre = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(azar); };
  std::vector<std::string> lineas;
  for (int i = 0; i < n; ++i) {
    const int inicio = entre(1, 20), largo = entre(0, 3), r = entre(0, 39);
    char desde[32], hasta[32];
    std::snprintf(desde, sizeof desde, "2006-08-%02d", inicio);
    std::snprintf(hasta, sizeof hasta, "2006-08-%02d", r == 0 ? inicio - 1 : inicio + largo);
    std::string l = r == 1 ? std::string() : std::to_string(entre(1, std::max(8, n / 10)));
    l += std::string(",") + (r == 2 ? "2006-13-01" : desde) + "," + hasta + ",T" +
         std::to_string(entre(0, 3));
    l += "," + (r == 3 ? std::string("este texto no cabe en quince") : "d" + std::to_string(i));
    l += ",," + (entre(0, 1) ? "r" + std::to_string(i) : std::string());
    lineas.push_back(l);
  }
  return lineas;
}

class EscenarioIncidencias {
 public:
  explicit EscenarioIncidencias(MotorPrueba motor = MotorPrueba::SQLite)
      : cadena_(BaseDe(motor, tmp_.Ruta(), pg_)) {
    EstableceCarpetaPrograma(tmp_.Ruta());
  }

  // `seccion`: the keys of "Planeacion Faltas" after "Origen".
  void Definiciones(const std::string& seccion) {
    EscribeBytes(Defs(), "[Base de Datos]\r\nConexion=" + cadena_ +
                             "\r\n[Planeacion Faltas]\r\nOrigen=" + tmp_.Archivo("Planfal.txt") +
                             "\r\n" + seccion);
  }
  // Lines in Windows-1252, each ended with CR LF.
  void Origen(const std::vector<std::string>& lineas) {
    std::string texto;
    for (const auto& l : lineas) texto += Utf8AAnsi(l) + "\r\n";
    EscribeBytes(tmp_.Archivo("Planfal.txt"), texto);
  }

  // The source file as it is on disk.
  void OrigenBytes(const std::string& bytes) { EscribeBytes(tmp_.Archivo("Planfal.txt"), bytes); }

  long maxRechazos = 0;                     // --max-rechazos of the run
  long lote = 0;                            // --lote of the run (0: the default)
  bool simular = false;                     // --simular: its own result files
  bool reporteOk = true, reporteEr = true;  // the result files' options

  // Runs the import (both result files on unless said); returns the exit status.
  // `conexion`: the run's own connection, when the test needs a hand on it.
  int Ejecuta(std::unique_ptr<db::Conexion> conexion = nullptr) {
    frmMain f(ventana, Defs());
    if (conexion) f.EstableceConexion(std::move(conexion));
    f.ArchivoDefiniciones = Defs();
    f.opciones.maxRechazos = maxRechazos;
    f.opciones.lote = lote;
    f.opciones.simular = simular;
    f.ReporteLog = 1;
    f.ReporteEmpleadosImportados = reporteOk ? 1 : 0;
    f.ReporteEmpleadosNoImportados = reporteEr ? 1 : 0;
    ImportaIncidencias(f);
    return f.EstadoSalida();
  }

  // Without the summary lines, whose time varies.
  std::vector<std::string> Log() const {
    std::vector<std::string> r;
    for (std::string& l : LineasDe(tmp_.Archivo("Log/VarloDI_Aug2006.log"), true))
      if (l.rfind("Resumen ", 0) != 0) r.push_back(std::move(l));
    return r;
  }
  // The summary lines, without their time and rate.
  std::vector<std::string> Resumenes() const {
    static const std::regex tiempo(", [0-9]+,[0-9] s.*$");
    std::vector<std::string> r;
    for (std::string& l : LineasDe(tmp_.Archivo("Log/VarloDI_Aug2006.log"), true))
      if (l.rfind("Resumen ", 0) == 0) r.push_back(std::regex_replace(l, tiempo, ""));
    return r;
  }
  std::vector<std::string> Ok() const { return Lineas("Ok"); }
  std::vector<std::string> Er() const { return Lineas("Er"); }
  // A result file ("Ok" or "Er") as it is on disk.
  std::string Bytes(const std::string& tipo) const { return LeeBytes(Resultado(tipo)); }

  const std::string& Cadena() const { return cadena_; }
  // A file of the scenario's folder ("Planfal.txt" is the source).
  std::string Archivo(const std::string& nombre) const { return tmp_.Archivo(nombre); }

  void Sql(const std::string& sentencia) { db::Conexion::Abre(cadena_)->Execute(sentencia); }
  // "employee|day|ID_Tipo|Dato0_FAL|Dato1_FAL|Referencia", sorted.
  std::vector<std::string> Kardex() const {
    return Filas(cadena_, "Kardex",
                 {"Id_Empleado", "Fecha", "ID_Tipo", "Dato0_FAL", "Dato1_FAL", "Referencia"});
  }

  VentanaFalsa ventana;

 private:
  std::string Defs() const { return tmp_.Archivo("defs.ini"); }
  std::string Resultado(const std::string& tipo) const {
    return tmp_.Archivo(std::string("Log/Planeacion Faltas_Incidencias_") +
                        (simular ? "Simulado_" : "") + tipo + ".txt");
  }
  std::vector<std::string> Lineas(const std::string& tipo) const {
    return LineasDe(Resultado(tipo));
  }

  RelojFijo reloj_;
  CarpetaTemporal tmp_;
  std::unique_ptr<BaseDatosPrueba> pg_;
  std::string cadena_;
};

}  // namespace varlo::prueba
