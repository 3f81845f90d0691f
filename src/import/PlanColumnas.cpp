#include "import/PlanColumnas.h"

#include <algorithm>

#include "common/Numeros.h"
#include "common/Texto.h"

namespace varlo {

namespace {
// The position of the first key this column carries, and the key column's type.
void AnotaIndice(DefinicionTabla& d, const std::string& nombre, std::int16_t columna) {
  const auto k = std::ranges::find(d.Indices, nombre) - d.Indices.begin();
  if (k == std::ssize(d.Indices)) return;
  d.PosicionIndice[k] = columna;
  const std::string sinCorchetes = QuitaCorchetes(nombre);
  const auto t = std::ranges::find_if(
      d.NombresTabla, [&](const std::string& n) { return IgualSinCaso(n, sinCorchetes); });
  if (t != d.NombresTabla.end()) d.TipoIndice[k] = d.TiposTabla[t - d.NombresTabla.begin()];
}
}  // namespace

bool ColumnaSoloLectura(const std::string& tabla, const std::string& nombre) {
  return tabla == "Empleado" &&
         (IgualSinCaso(nombre, "ID_Calendario") || IgualSinCaso(nombre, "FIAplicacion"));
}

bool ConstruyePlan(const LectorDefiniciones& ini, DefinicionTabla& d) {
  d.Formato = ini.Numero(d.Tabla, "Formato", "0");
  d.Separador = ini.SeparadorDeFormato(d.Formato);
  d.TextoNulo = ini.Texto(d.Tabla, "TextoNulo", "");
  d.PosicionIndice.assign(d.Indices.size(), 0);
  d.TipoIndice.assign(d.Indices.size(), 0);

  bool algunaNombrada = false;
  for (int c = 1; c <= d.Columnas; ++c) {
    std::string nombre =
        ini.Texto(d.Tabla, LectorDefiniciones::ClaveNumerada("CampoColumna", c), "");
    if (!EstaEnBlanco(nombre)) {
      algunaNombrada = true;
      AnotaIndice(d, nombre, c);
      if (c == d.ColumnaJerarquia) {
        // the hierarchy's level is the last character of the column's name
        d.CampoJerarquia = Recorta(nombre);
        const auto nivel =
            static_cast<int>(LeeNumero(d.CampoJerarquia.substr(d.CampoJerarquia.size() - 1)));
        for (int n = nivel - 1; n >= 0; --n)
          d.ColumnasNivel.push_back("ID_Nivel" + std::to_string(n));
      }
      if (!ColumnaSoloLectura(d.Tabla, nombre)) d.CamposSelect.push_back(nombre);
    }
    d.Campos.push_back(QuitaCorchetes(nombre));
    d.Longitudes.push_back(
        d.Formato == 1
            ? ini.Numero32(d.Tabla, LectorDefiniciones::ClaveNumerada("LongitudColumna", c), "0")
            : 0);
  }
  return algunaNombrada;
}

std::optional<std::string> IndiceSinColumna(const DefinicionTabla& d) {
  if (d.Indices.empty()) return std::string();
  for (std::size_t k = 0; k < d.Indices.size(); ++k)
    if (d.PosicionIndice[k] == 0) return d.Indices[k];
  return std::nullopt;
}

}  // namespace varlo
