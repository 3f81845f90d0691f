#pragma once
// What the generator tests share: a scripted window that ticks tables by
// name, and the definitions file read back as ordered entries.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/VentanaFalsa.h"
#include "common/Codificacion.h"
#include "db/Conexion.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

// The fake window, ticking the tables named in `elegir` whatever their place.
class VentanaGenerador : public VentanaFalsa {
 public:
  std::set<std::string> elegir;

  std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) override {
    listasTablas.push_back(tablas);
    std::vector<bool> r;
    for (const std::string& t : tablas) r.push_back(elegir.count(t) > 0);
    return r;
  }
};

using Entrada = std::tuple<std::string, std::string, std::string>;  // section, key, value

// Every "key=value" line of the file, with its section, in file order (text
// converted from the file's code page). Fails the test on a line that does
// not end in CR LF or is neither a section nor a key.
inline std::vector<Entrada> LeeEntradas(const std::string& ruta) {
  const std::string bytes = LeeBytes(ruta);
  std::vector<Entrada> r;
  std::string seccion;
  std::size_t inicio = 0;
  while (inicio < bytes.size()) {
    std::size_t fin = bytes.find("\r\n", inicio);
    if (fin == std::string::npos) {
      ADD_FAILURE() << "línea sin CR LF al final: " << bytes.substr(inicio);
      fin = bytes.size();
    }
    const std::string linea = AnsiAUtf8(bytes.substr(inicio, fin - inicio));
    inicio = fin + 2;
    if (linea.size() >= 2 && linea.front() == '[' && linea.back() == ']') {
      seccion = linea.substr(1, linea.size() - 2);
    } else if (auto igual = linea.find('='); igual != std::string::npos) {
      r.emplace_back(seccion, linea.substr(0, igual), linea.substr(igual + 1));
    } else {
      ADD_FAILURE() << "línea inesperada: [" << linea << "]";
    }
  }
  return r;
}

// The sections in file order.
inline std::vector<std::string> Secciones(const std::vector<Entrada>& entradas) {
  std::vector<std::string> r;
  for (const auto& e : entradas)
    if (r.empty() || r.back() != std::get<0>(e)) r.push_back(std::get<0>(e));
  return r;
}

// The entries of one section.
inline std::vector<Entrada> DeSeccion(const std::vector<Entrada>& entradas,
                                      const std::string& seccion) {
  std::vector<Entrada> r;
  for (const auto& e : entradas)
    if (std::get<0>(e) == seccion) r.push_back(e);
  return r;
}

struct CampoEsperado {
  std::string nombre;
  long tamano;
};

// What the generator writes, in order, for these tables (name and fields),
// with the program in `carpeta` and the connection `cadena`.
inline std::vector<Entrada> EntradasEsperadas(
    const std::string& carpeta, const std::string& cadena,
    const std::vector<std::pair<std::string, std::vector<CampoEsperado>>>& tablas) {
  std::vector<Entrada> r = {
      {"Opciones", "MostrarMensajes", "0"},
      {"Opciones", "ReporteLog", "1"},
      {"Opciones", "ReporteEmpleadosImportados", "1"},
      {"Opciones", "ReporteEmpleadosNoImportados", "1"},
      {"Base de Datos", "Conexion", cadena},
      {"Formatos Archivo Fuente", "Formato1", "Longitud específica por columna (Predeterminada)"},
      {"Formatos Archivo Fuente", "Formato2", "Separado por TABs"},
      {"Formatos Archivo Fuente", "Formato3", "Separado por Comas"},
      {"Formatos Archivo Fuente", "Formato4", "Separado por Otro"},
      {"Formatos Archivo Fuente", "Otro", ""},
  };
  if (!tablas.empty()) r.emplace_back("Tablas", "Total", std::to_string(tablas.size()));
  for (std::size_t k = 0; k < tablas.size(); ++k)
    r.emplace_back("Tablas", "Tabla" + std::to_string(k + 1), tablas[k].first);
  for (const auto& [t, campos] : tablas) {
    const bool empleado = t == "Empleado" || t == "empleado" || t == "EMPLEADO";
    r.emplace_back(t, "Formato", "1");
    r.emplace_back(t, "FormatoFecha", "YYYY-MM-DD");
    r.emplace_back(t, "Borrar antes de importar", "0");
    r.emplace_back(t, "Origen", carpeta + "/" + t + ".txt");
    r.emplace_back(t, "DirectorioFotos", carpeta + "/Fotos/");
    r.emplace_back(t, "NombreFotos", "ID_Empleado");
    r.emplace_back(t, "NombreIndice", "ID_Empleado");
    r.emplace_back(t, "Jerarquia unica en columna", "");
    r.emplace_back(t, "Columnas", std::to_string(campos.size()));
    std::size_t j = 1;
    for (const auto& c : campos) r.emplace_back(t, "CampoColumna" + std::to_string(j++), c.nombre);
    if (empleado) {
      r.emplace_back(t, "CampoColumna" + std::to_string(j++), "ID_Calendario");
      r.emplace_back(t, "CampoColumna" + std::to_string(j++), "FIAplicacion");
    }
    j = 1;
    for (const auto& c : campos)
      r.emplace_back(t, "LongitudColumna" + std::to_string(j++), std::to_string(c.tamano));
    if (empleado) {
      r.emplace_back(t, "LongitudColumna" + std::to_string(j++), "15");
      r.emplace_back(t, "LongitudColumna" + std::to_string(j++), "16");
    }
  }
  const std::string pf = "Planeacion Faltas";
  r.emplace_back(pf, "Formato", "1");
  r.emplace_back(pf, "FormatoFecha", "YYYY-MM-DD");
  r.emplace_back(pf, "Origen", carpeta + "/Planfal.txt");
  r.emplace_back(pf, "Columnas", "11");
  const char* nombres[] = {"ID_Empleado", "Fecha1",    "Fecha2",    "ID_Tipo",
                           "Dato0_FAL",   "Dato1_FAL", "Dato2_FAL", "Dato3_FAL",
                           "Dato4_FAL",   "Dato5_FAL", "Referencia"};
  const char* anchos[] = {"15", "16", "16", "15", "15", "15", "15", "15", "15", "15", "50"};
  for (int i = 0; i < 11; ++i) r.emplace_back(pf, "CampoColumna" + std::to_string(i + 1), nombres[i]);
  for (int i = 0; i < 11; ++i) r.emplace_back(pf, "LongitudColumna" + std::to_string(i + 1), anchos[i]);
  return r;
}

// Name and declared size of every field of a table, as the database reports them.
inline std::vector<CampoEsperado> CamposDe(const std::string& cadena, const std::string& tabla) {
  std::unique_ptr<db::Conexion> cn = db::Conexion::Abre(cadena);
  db::Consulta q;
  q.tabla = tabla;
  q.top = 0;
  std::unique_ptr<db::Recordset> rs = cn->AbreConsulta(q, 0);
  std::vector<CampoEsperado> r;
  for (int i = 0; i < rs->FieldCount(); ++i)
    r.push_back({rs->Field(i).nombre, rs->Field(i).tamanoDefinido});
  rs->Close();
  cn->Close();
  return r;
}

}  // namespace varlo::prueba
