#pragma once
// A private program folder with a fresh SQLite database made from the
// project's schema, where a test writes a definitions file and source
// files, runs the table import in-process and reads back the log, the
// result files and the rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
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

namespace varlo::prueba {

using Filas = std::vector<std::vector<std::string>>;

// Lines of a file written with CR LF ("" lines kept, none after the last).
inline std::vector<std::string> LineasDe(const std::string& bytes) {
  std::vector<std::string> r;
  std::size_t inicio = 0;
  while (inicio < bytes.size()) {
    std::size_t fin = bytes.find("\r\n", inicio);
    if (fin == std::string::npos) {
      r.push_back(bytes.substr(inicio));
      break;
    }
    r.push_back(bytes.substr(inicio, fin - inicio));
    inicio = fin + 2;
  }
  return r;
}

enum class MotorPrueba { SQLite, PostgreSql };

class EntornoImportacion {
 public:
  explicit EntornoImportacion(MotorPrueba motor = MotorPrueba::SQLite) {
    EstableceCarpetaPrograma(tmp_.Ruta());
    if (motor == MotorPrueba::SQLite) {
      cadena_ = BaseDatosPrueba::SQLite(tmp_.Ruta());
    } else {
      pg_ = std::make_unique<BaseDatosPrueba>(BaseDatosPrueba::PostgreSql());
      cadena_ = pg_->Cadena();
    }
    conexion_ = db::Conexion::Abre(cadena_);
  }
  ~EntornoImportacion() {
    conexion_.reset();
    EstableceCarpetaPrograma("");
  }

  std::string Archivo(const std::string& nombre) const { return tmp_.Archivo(nombre); }
  const std::string& CadenaConexion() const { return cadena_; }
  db::Conexion& Base() { return *conexion_; }

  // The definitions file: the connection section followed by `resto`.
  void Definiciones(const std::string& resto) {
    EscribeBytes(Archivo("defs.ini"),
                 "[Base de Datos]\r\nConexion=" + CadenaConexion() + "\r\n" + resto);
  }
  // A source file: each line in Windows-1252 ended by CR LF.
  void Fuente(const std::string& nombre, const std::vector<std::string>& lineas) {
    std::string bytes;
    for (const auto& l : lineas) bytes += Utf8AAnsi(l) + "\r\n";
    EscribeBytes(Archivo(nombre), bytes);
  }

  // Runs the table import as the run sequence would; returns the exit status.
  int Importa(std::int16_t reporteOk = 1, std::int16_t reporteEr = 1) {
    ventana = std::make_unique<VentanaFalsa>();
    frmMain f(*ventana, "");
    f.ArchivoDefiniciones = Archivo("defs.ini");
    f.ReporteLog = 1;
    f.ReporteEmpleadosImportados = reporteOk;
    f.ReporteEmpleadosNoImportados = reporteEr;
    ImportaDatos(f);
    return f.EstadoSalida();
  }

  // Log lines of this month without their date stamp.
  std::vector<std::string> Log() const {
    std::vector<std::string> r;
    for (std::string l :
         LineasDe(LeeBytes(Kelto_GEN_Trans::ArchivoMensual(frmMain::ArchivoLog())))) {
      std::size_t p = l.rfind(" (");
      r.push_back(AnsiAUtf8(p == std::string::npos ? l : l.substr(0, p)));
    }
    return r;
  }
  // A result file's lines, in UTF-8.
  std::vector<std::string> Resultado(const std::string& nombre) const {
    std::vector<std::string> r;
    for (const auto& l : LineasDe(LeeBytes(Archivo("Log/" + nombre)))) r.push_back(AnsiAUtf8(l));
    return r;
  }
  bool ExisteResultado(const std::string& nombre) const {
    std::ifstream in(Archivo("Log/" + nombre));
    return in.good();
  }

  // Every row of a table, its columns as text ("NULL" for null), sorted.
  Filas Lee(const std::string& tabla, const std::vector<std::string>& columnas) {
    db::Consulta c;
    c.columnas = columnas;
    c.tabla = tabla;
    auto rs = conexion_->AbreConsulta(c, 0);
    Filas r;
    while (!rs->EOF_()) {
      std::vector<std::string> fila;
      for (int i = 0; i < rs->FieldCount(); ++i) {
        // CHAR(n) comes back padded where the database pads it
        bool fijo = rs->Field(i).tipo == 129 || rs->Field(i).tipo == 130;
        fila.push_back(db::EsNulo(rs->Value(i)) ? "NULL"
                       : fijo                   ? RecortaDer(rs->Texto(i))
                                                : rs->Texto(i));
      }
      r.push_back(std::move(fila));
      rs->MoveNext();
    }
    std::sort(r.begin(), r.end());
    return r;
  }

  std::unique_ptr<VentanaFalsa> ventana;

 private:
  CarpetaTemporal tmp_;
  std::unique_ptr<BaseDatosPrueba> pg_;
  std::string cadena_;
  std::unique_ptr<db::Conexion> conexion_;
};

// A fixed-width field: the text padded with spaces (or cut) to `ancho`.
inline std::string Ancho(std::string s, std::size_t ancho) {
  s.resize(ancho, ' ');
  return s;
}

}  // namespace varlo::prueba
