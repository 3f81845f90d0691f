#pragma once
// An absence-planning run in this process: a private program folder, a fresh
// SQLite database with the example schema, a definitions file, a source file
// and the recording window; afterwards the log messages (without their
// stamps), the result files and the Kardex rows.
#include <algorithm>
#include <string>
#include <vector>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Kelto_GEN_Trans.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "incidences/ImportaIncidencias.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

// The messages of a log file, without their stamps.
inline std::vector<std::string> MensajesLog(const std::string& archivo) {
  std::vector<std::string> r;
  for (const std::string& l : Divide(LeeBytes(archivo), "\r\n")) {
    if (l.empty()) continue;
    std::string m = AnsiAUtf8(l);
    r.push_back(m.substr(0, m.rfind(" (")));
  }
  return r;
}

// The rows of a table as "a|b|c", trailing blanks trimmed, sorted.
inline std::vector<std::string> Filas(const std::string& cadena, const std::string& tabla,
                                      const std::vector<std::string>& columnas) {
  auto cn = db::Conexion::Abre(cadena);
  db::Consulta c;
  c.tabla = tabla;
  c.columnas = columnas;
  auto rs = cn->AbreConsulta(c, 0);
  std::vector<std::string> filas;
  for (; !rs->EOF_(); rs->MoveNext()) {
    std::string fila;
    for (int i = 0; i < rs->FieldCount(); ++i) fila += (i ? "|" : "") + RecortaDer(rs->Texto(i));
    filas.push_back(fila);
  }
  std::sort(filas.begin(), filas.end());
  return filas;
}

class EscenarioIncidencias {
 public:
  explicit EscenarioIncidencias(std::string cadena = "") : cadena_(std::move(cadena)) {
    EstableceCarpetaPrograma(tmp_.Ruta());
    if (cadena_.empty()) cadena_ = BaseDatosPrueba::SQLite(tmp_.Ruta());
  }

  const CarpetaTemporal& Carpeta() const { return tmp_; }
  const std::string& Cadena() const { return cadena_; }
  std::string Fuente() const { return tmp_.Archivo("Planfal.txt"); }
  std::string ArchivoDefiniciones() const { return tmp_.Archivo("defs.ini"); }

  // `seccion`: the keys of "Planeacion Faltas" after "Origen"; `otras`: more sections.
  void Definiciones(const std::string& seccion, const std::string& otras = "") {
    EscribeBytes(ArchivoDefiniciones(), "[Base de Datos]\r\nConexion=" + cadena_ +
                                            "\r\n[Planeacion Faltas]\r\nOrigen=" + Fuente() +
                                            "\r\n" + seccion + otras);
  }
  // Lines joined with CR LF, the last one ended too; Windows-1252 unless `utf8`.
  void Origen(const std::vector<std::string>& lineas, bool utf8 = false) {
    std::string texto = utf8 ? "\xEF\xBB\xBF" : "";
    for (const auto& l : lineas) texto += (utf8 ? l : Utf8AAnsi(l)) + "\r\n";
    EscribeBytes(Fuente(), texto);
  }

  // Runs the import with the options given; returns the exit status.
  int Ejecuta(int reporteOk = 1, int reporteEr = 1) {
    frmMain f(ventana, ArchivoDefiniciones());
    f.ArchivoDefiniciones = ArchivoDefiniciones();
    f.ReporteLog = 1;
    f.ReporteEmpleadosImportados = static_cast<std::int16_t>(reporteOk);
    f.ReporteEmpleadosNoImportados = static_cast<std::int16_t>(reporteEr);
    ImportaIncidencias(f);
    return f.EstadoSalida();
  }

  std::vector<std::string> Log() const {
    return MensajesLog(Kelto_GEN_Trans::ArchivoMensual(frmMain::ArchivoLog()));
  }

  std::string ArchivoOk() const { return tmp_.Archivo("Log/Planeacion Faltas_Incidencias_Ok.txt"); }
  std::string ArchivoEr() const { return tmp_.Archivo("Log/Planeacion Faltas_Incidencias_Er.txt"); }
  // Lines of a Windows-1252 result file, as UTF-8.
  std::vector<std::string> Ok() const { return Lineas(ArchivoOk()); }
  std::vector<std::string> Er() const { return Lineas(ArchivoEr()); }

  void Sql(const std::string& sentencia) { db::Conexion::Abre(cadena_)->Execute(sentencia); }

  // "employee|day|ID_Tipo|Dato0_FAL|Dato1_FAL|Referencia", sorted.
  std::vector<std::string> Kardex() const {
    return Filas(cadena_, "Kardex",
                 {"Id_Empleado", "Fecha", "ID_Tipo", "Dato0_FAL", "Dato1_FAL", "Referencia"});
  }

  VentanaFalsa ventana;

 private:
  static std::vector<std::string> Lineas(const std::string& ruta) {
    std::string bytes = AnsiAUtf8(LeeBytes(ruta));
    std::vector<std::string> r = Divide(bytes, "\r\n");
    if (!r.empty() && r.back().empty()) r.pop_back();
    return r;
  }

  CarpetaTemporal tmp_;
  std::string cadena_;
};

}  // namespace varlo::prueba
