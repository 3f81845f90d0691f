#pragma once
// A private program folder with a fresh database made from the project's
// schema, where a test writes a definitions file and source files, runs the
// table import in-process and reads back the log, the result files and rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Recordset.h"
#include "import/ImportaDatos.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/Definiciones.h"
#include "support/FilasTabla.h"
#include "support/MotoresPrueba.h"
#include "support/RelojFijo.h"

namespace varlo::prueba {

using V = std::vector<std::string>;
using Filas = std::vector<V>;

// Lines of a file written with CR LF, in UTF-8 when `ansi`.
inline V LineasDe(const std::string& bytes, bool ansi = true) {
  V r;
  for (std::size_t i = 0, fin; i < bytes.size(); i = fin + 2) {
    fin = std::min(bytes.find("\r\n", i), bytes.size());
    r.push_back(ansi ? AnsiAUtf8(bytes.substr(i, fin - i)) : bytes.substr(i, fin - i));
  }
  return r;
}

// The small table most runs import: "Turno" (ID, Nombre) keyed by ID.
inline constexpr const char* kCreaTurno =
    "CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20))";
inline std::string SoloTurno(const std::string& origen) {
  return ListaTablas({"Turno"}) + SeccionComas("Turno", origen, "ID", {"ID", "Nombre"});
}

// Run options with batches of `n` records (0: the default size).
inline Corrida::Opciones Lote(long n) {
  Corrida::Opciones o;
  o.lote = n;
  return o;
}

class EntornoImportacion {
 public:
  explicit EntornoImportacion(MotorPrueba motor = MotorPrueba::SQLite) {
    EstableceCarpetaPrograma(tmp_.Ruta());
    cadena_ = BaseDe(motor, tmp_.Ruta(), pg_);
    conexion_ = db::Conexion::Abre(cadena_);
  }
  ~EntornoImportacion() {
    conexion_.reset();
    EstableceCarpetaPrograma("");
  }

  std::string Archivo(const std::string& nombre) const { return tmp_.Archivo(nombre); }
  db::Conexion& Base() { return *conexion_; }
  const std::string& Cadena() const { return cadena_; }

  // The definitions file: the connection section followed by `resto`.
  void Definiciones(const std::string& resto) {
    EscribeBytes(Archivo("defs.ini"), "[Base de Datos]\r\nConexion=" + cadena_ + "\r\n" + resto);
  }
  // The section of `tabla`, read from "<tabla>.txt" in the folder.
  std::string Seccion(const std::string& tabla, const std::string& llave, const V& columnas) const {
    return SeccionComas(tabla, Archivo(tabla + ".txt"), llave, columnas);
  }
  // Only `tabla`, from "<tabla>.txt", with more of its keys after.
  void Tabla(const std::string& tabla, const std::string& llave, const V& columnas,
             const std::string& extra = "") {
    Definiciones(ListaTablas({tabla}) + Seccion(tabla, llave, columnas) + extra);
  }
  // Only "Turno" from "Turno.txt", with more of its keys after.
  std::string Turnos(const std::string& extra = "") const {
    return SoloTurno(Archivo("Turno.txt")) + extra;
  }
  // "Turno" created empty and defined alone, with more of its keys after.
  void PreparaTurno(const std::string& extra = "") {
    conexion_->Execute(kCreaTurno);
    Definiciones(Turnos(extra));
  }
  // A source file: each line in Windows-1252 ended by CR LF.
  void Fuente(const std::string& nombre, const V& lineas) {
    std::string bytes;
    for (const auto& l : lineas) bytes += Utf8AAnsi(l) + "\r\n";
    EscribeBytes(Archivo(nombre), bytes);
  }

  // The run sequence with a stop request the test decides.
  class frmPrueba : public frmMain {
   public:
    using frmMain::frmMain;
    std::function<bool()> interrumpe;
    bool Interrumpida() const override { return interrumpe && interrumpe(); }
  };

  // Runs the table import as the run sequence would; returns the exit status.
  // `conexion`: the run's own connection, when the test needs a hand on it.
  int Importa(Corrida::Opciones opciones = {}, std::function<bool()> interrumpe = {},
              std::unique_ptr<db::Conexion> conexion = nullptr) {
    ventana = std::make_unique<VentanaFalsa>();
    frmPrueba f(*ventana, "");
    if (conexion) f.EstableceConexion(std::move(conexion));
    f.opciones = opciones;
    f.interrumpe = std::move(interrumpe);
    f.ArchivoDefiniciones = Archivo("defs.ini");
    f.ReporteLog = f.ReporteEmpleadosImportados = f.ReporteEmpleadosNoImportados = 1;
    avisos.clear();
    f.EstableceAvisoError([this](const std::string& linea) { avisos.push_back(linea); });
    ImportaDatos(f);
    importaciones = f.Importaciones();
    return f.EstadoSalida();
  }

  // Log lines of this month without their date stamp; the summary lines
  // (whose time varies) are apart, cut before their time.
  V Log() const { return LineasLog(false); }
  V Resumenes() const { return LineasLog(true); }
  V Resultado(const std::string& nombre) const {
    return LineasDe(LeeBytes(Archivo("Log/" + nombre)));
  }

  // Every row of a table, its columns as text (`nulo` for null), sorted.
  Filas Lee(const std::string& tabla, const V& columnas, const std::string& nulo = "NULL") {
    return LeeFilas(*conexion_, tabla, columnas, nulo);
  }

  std::unique_ptr<VentanaFalsa> ventana;
  // What the last run showed where the person is (the console's stderr),
  // besides its summary lines, and what became of each of its tables.
  V avisos;
  std::vector<ImportacionCorrida> importaciones;

 private:
  V LineasLog(bool resumenes) const {
    V r;
    for (const std::string& l : LineasDe(LeeBytes(LogDeLaCorrida(tmp_.Ruta())))) {
      const bool esResumen = l.rfind("Resumen ", 0) == 0;
      if (esResumen != resumenes) continue;
      const std::size_t sinProcesar = l.find(" sin procesar");
      if (esResumen && sinProcesar != std::string::npos)
        r.push_back(l.substr(0, sinProcesar + 13));
      else
        r.push_back(l.substr(0, l.rfind(" (")));
    }
    return r;
  }

  RelojFijo reloj_;
  CarpetaTemporal tmp_;
  std::unique_ptr<BaseDatosPrueba> pg_;
  std::string cadena_;
  std::unique_ptr<db::Conexion> conexion_;
};

}  // namespace varlo::prueba
