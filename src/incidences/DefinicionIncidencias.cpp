#include "incidences/DefinicionIncidencias.h"

#include "common/Plataforma.h"
#include "common/Texto.h"

namespace varlo {

const std::string& DeColumna(const std::vector<std::string>& lista, int columna) {
  static const std::string vacio;
  if (columna < 1 || static_cast<std::size_t>(columna) > lista.size()) return vacio;
  return lista[static_cast<std::size_t>(columna - 1)];
}

LecturaDefinicion LeeDefinicion(const LectorDefiniciones& lector, DefinicionIncidencias& d) {
  const std::string seccion = kSeccionIncidencias;
  d.Origen = lector.Texto(seccion, "Origen", UneRuta(CarpetaPrograma(), seccion + ".txt"));
  d.Mascara = MascaraFecha::Desde(lector.Texto(seccion, "FormatoFecha", "YYYY-MM-DD"));
  d.Columnas = lector.Numero(seccion, "Columnas", "0");
  if (d.Columnas == 0) return LecturaDefinicion::CeroColumnas;

  d.Formato = lector.Numero(seccion, "Formato", "0");
  d.Separador = lector.SeparadorDeFormato(d.Formato);

  for (int i = 1; i <= d.Columnas; ++i) {
    std::string nombre =
        lector.Texto(seccion, LectorDefiniciones::ClaveNumerada("CampoColumna", i), "");
    if (EstaEnBlanco(nombre)) continue;
    if (IgualSinCaso(nombre, "Id_Empleado")) d.ColumnaEmpleado = static_cast<std::int16_t>(i);
    if (IgualSinCaso(nombre, "Fecha1")) {
      nombre = "Fecha";
      d.ColumnaFecha = static_cast<std::int16_t>(i);
    }
    if (IgualSinCaso(nombre, "Fecha2")) {
      d.HayFecha2 = true;
      nombre.clear();  // not in the select list
    }
    d.Campos.resize(static_cast<std::size_t>(i));
    d.Longitudes.resize(static_cast<std::size_t>(i), 0);
    d.Campos.back() = nombre;
    if (d.Formato == 1)
      d.Longitudes.back() =
          lector.Numero(seccion, LectorDefiniciones::ClaveNumerada("LongitudColumna", i), "0");
    if (!nombre.empty()) d.CamposSelect.push_back(nombre);
  }
  if (d.Campos.empty()) return LecturaDefinicion::NingunaColumna;
  d.Columnas = static_cast<std::int16_t>(d.Campos.size());
  return LecturaDefinicion::Completa;
}

std::vector<std::string> ProblemasDefinicion(const DefinicionIncidencias& d) {
  std::vector<std::string> problemas, faltan;
  if (d.Mascara.InicioAnio <= 0) faltan.push_back("el año (Y)");
  if (d.Mascara.InicioMes <= 0) faltan.push_back("el mes (M)");
  if (d.Mascara.InicioDia <= 0) faltan.push_back("el día (D)");
  if (!faltan.empty())
    problemas.push_back("El FormatoFecha \"" + d.Mascara.Texto + "\" no indica " +
                        Une(faltan, " ni "));
  if (d.ColumnaEmpleado == 0) problemas.push_back("No tiene definida la columna Id_Empleado");
  if (d.ColumnaFecha == 0) {
    problemas.push_back("No tiene definida la columna Fecha1");
  } else if (d.HayFecha2 && d.ColumnaFecha >= d.Columnas) {
    problemas.push_back(
        "Tiene definida la columna Fecha2, pero Fecha1 es la última columna y no hay columna "
        "de la que leer la fecha final");
  }
  return problemas;
}

}  // namespace varlo
