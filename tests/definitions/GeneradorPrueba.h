#pragma once
// A scripted window that ticks tables by name; the definitions file read back
// as ordered entries, and the entries the generator should write.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/VentanaFalsa.h"
#include "common/Codificacion.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

// The fake window, ticking the tables named in `elegir` whatever their place,
// and noting how many status texts had been shown when each message came.
class VentanaGenerador : public VentanaFalsa {
 public:
  std::set<std::string> elegir;
  std::vector<std::size_t> estadosAntesDelMensaje;

  Respuesta MuestraMensaje(const std::string& texto, Botones botones, Icono icono,
                           const std::string& titulo) override {
    estadosAntesDelMensaje.push_back(estados.size());
    return VentanaFalsa::MuestraMensaje(texto, botones, icono, titulo);
  }

  std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) override {
    listasTablas.push_back(tablas);
    std::vector<bool> r;
    for (const std::string& t : tablas) r.push_back(elegir.count(t) > 0);
    return r;
  }
};

using Entrada = std::tuple<std::string, std::string, std::string>;  // section, key, value

// Every "key=value" line with its section, in file order, text converted
// from the file's code page. The "; " lines go to `notas`, when given, as
// (section, the line right below them, text). Each line must end in CR LF.
inline std::vector<Entrada> LeeEntradas(const std::string& ruta,
                                        std::vector<Entrada>* notas = nullptr) {
  const std::string bytes = LeeBytes(ruta);
  EXPECT_TRUE(bytes.ends_with("\r\n"));
  std::vector<Entrada> r;
  std::vector<std::string> pendientes;
  std::string seccion;
  for (const std::string& l : Divide(bytes, "\r\n")) {
    const std::string linea = AnsiAUtf8(l);
    if (linea.starts_with("; ")) {
      pendientes.push_back(linea.substr(2));
      continue;
    }
    std::string debajo = linea;
    if (linea.starts_with('[') && linea.ends_with(']')) {
      seccion = linea.substr(1, linea.size() - 2);
    } else if (auto igual = linea.find('='); igual != std::string::npos) {
      debajo = linea.substr(0, igual);
      r.emplace_back(seccion, debajo, linea.substr(igual + 1));
    } else {
      EXPECT_EQ(linea, "") << "línea inesperada";
    }
    if (notas)
      for (const std::string& n : pendientes) notas->emplace_back(seccion, debajo, n);
    pendientes.clear();
  }
  EXPECT_TRUE(pendientes.empty()) << "notas al final del archivo";
  return r;
}

// The sections in file order.
inline std::vector<std::string> Secciones(const std::vector<Entrada>& entradas) {
  std::vector<std::string> r;
  for (const auto& e : entradas)
    if (r.empty() || r.back() != std::get<0>(e)) r.push_back(std::get<0>(e));
  return r;
}

struct CampoEsperado {
  std::string nombre;
  long tamano;
  int tipo = 0;
};

// "CampoColumnaN" for every field, then "LongitudColumnaN" for every field:
// its declared size, or 0 for a picture (it comes from a file) and for a
// size no fixed-width line can hold.
inline void Columnas(std::vector<Entrada>& r, const std::string& s,
                     const std::vector<CampoEsperado>& campos) {
  for (std::size_t j = 0; j < campos.size(); ++j)
    r.emplace_back(s, "CampoColumna" + std::to_string(j + 1), campos[j].nombre);
  for (std::size_t j = 0; j < campos.size(); ++j) {
    const bool sinAncho = campos[j].tipo == 205 || campos[j].tamano > 32766;
    r.emplace_back(s, "LongitudColumna" + std::to_string(j + 1),
                   std::to_string(sinAncho ? 0 : campos[j].tamano));
  }
}

// What the generator writes, in order, for these tables (name and fields),
// with the program in `carpeta` and the connection `cadena`.
inline std::vector<Entrada> EntradasEsperadas(
    const std::string& carpeta, const std::string& cadena,
    const std::vector<std::pair<std::string, std::vector<CampoEsperado>>>& tablas) {
  const std::string o = "Opciones", f = "Formatos Archivo Fuente";
  std::vector<Entrada> r = {{o, "MostrarMensajes", "0"},
                            {o, "ReporteLog", "1"},
                            {o, "ReporteEmpleadosImportados", "1"},
                            {o, "ReporteEmpleadosNoImportados", "1"},
                            {"Base de Datos", "Conexion", cadena},
                            {f, "Formato1", "Longitud específica por columna (Predeterminada)"},
                            {f, "Formato2", "Separado por TABs"},
                            {f, "Formato3", "Separado por Comas"},
                            {f, "Formato4", "Separado por Otro"},
                            {f, "Otro", ""}};
  if (!tablas.empty()) r.emplace_back("Tablas", "Total", std::to_string(tablas.size()));
  for (std::size_t k = 0; k < tablas.size(); ++k)
    r.emplace_back("Tablas", "Tabla" + std::to_string(k + 1), tablas[k].first);
  for (const auto& [t, campos] : tablas) {
    const bool empleado = t == "Empleado" || t == "empleado" || t == "EMPLEADO";
    for (const auto& [k, v] : std::vector<std::pair<std::string, std::string>>{
             {"Formato", "1"},
             {"Comillas", ""},
             {"FormatoFecha", "YYYY-MM-DD"},
             {"Borrar antes de importar", "0"},
             {"TextoNulo", ""},
             {"Origen", carpeta + "/" + t + ".txt"},
             {"DirectorioFotos", carpeta + "/Fotos/"},
             {"NombreFotos", "ID_Empleado"},
             {"NombreIndice", "ID_Empleado"},
             {"Jerarquia unica en columna", ""},
             {"Columnas", std::to_string(campos.size())}})
      r.emplace_back(t, k, v);
    std::vector<CampoEsperado> todos = campos;
    if (empleado) todos.insert(todos.end(), {{"ID_Calendario", 15}, {"FIAplicacion", 16}});
    Columnas(r, t, todos);
  }
  const std::string pf = "Planeacion Faltas";
  r.insert(r.end(), {{pf, "Formato", "1"},
                     {pf, "Comillas", ""},
                     {pf, "FormatoFecha", "YYYY-MM-DD"},
                     {pf, "Origen", carpeta + "/Planfal.txt"},
                     {pf, "Columnas", "11"}});
  const std::vector<CampoEsperado> plan = {
      {"ID_Empleado", 15}, {"Fecha1", 16},    {"Fecha2", 16},    {"ID_Tipo", 15},
      {"Dato0_FAL", 15},   {"Dato1_FAL", 15}, {"Dato2_FAL", 15}, {"Dato3_FAL", 15},
      {"Dato4_FAL", 15},   {"Dato5_FAL", 15}, {"Referencia", 50}};
  Columnas(r, pf, plan);
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
    r.push_back({rs->Field(i).nombre, rs->Field(i).tamanoDefinido, rs->Field(i).tipo});
  return r;
}

}  // namespace varlo::prueba
