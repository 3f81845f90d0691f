#include "import/PlanColumnas.h"

#include "common/Numeros.h"
#include "common/Texto.h"

namespace varlo {

namespace {
// Key positions and types of the keys that this column carries.
void AnotaIndice(DefinicionTabla& d, const std::string& nombre, std::int16_t columna) {
  for (std::size_t k = 0; k < d.Indices.size(); ++k) {
    if (d.Indices[k] != nombre) continue;
    d.PosicionIndice[k] = columna;
    std::string sinCorchetes = QuitaCorchetes(d.Indices[k]);
    for (std::size_t i = 0; i < d.NombresTabla.size(); ++i) {
      if (IgualSinCaso(d.NombresTabla[i], sinCorchetes)) {
        d.TipoIndice[k] = d.TiposTabla[i];
        break;
      }
    }
    return;
  }
}

void AnotaJerarquia(DefinicionTabla& d, const std::string& nombre) {
  d.CampoJerarquia = Recorta(nombre);
  int nivel = static_cast<int>(LeeNumero(d.CampoJerarquia.substr(d.CampoJerarquia.size() - 1)));
  for (int n = nivel - 1; n >= 0; --n) {
    d.ColumnasNivel.push_back("ID_Nivel" + std::to_string(n));
  }
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
  for (std::int16_t c = 1; c >= 1 && c <= d.Columnas; ++c) {
    std::string nombre =
        ini.Texto(d.Tabla, LectorDefiniciones::ClaveNumerada("CampoColumna", c), "");
    const bool nombrada = !EstaEnBlanco(nombre);
    if (nombrada) {
      algunaNombrada = true;
      AnotaIndice(d, nombre, c);
      if (d.ColumnaJerarquia > 0 && c == d.ColumnaJerarquia) AnotaJerarquia(d, nombre);
    }
    d.Campos.push_back(QuitaCorchetes(nombre));
    d.Longitudes.push_back(
        d.Formato == 1
            ? ini.Numero32(d.Tabla, LectorDefiniciones::ClaveNumerada("LongitudColumna", c), "0")
            : 0);
    if (nombrada && !ColumnaSoloLectura(d.Tabla, nombre)) d.CamposSelect.push_back(nombre);
    if (c == 32767) break;
  }
  return algunaNombrada;
}

std::optional<std::string> IndiceSinColumna(const DefinicionTabla& d) {
  if (d.Indices.empty()) return std::string();
  for (std::size_t k = 0; k < d.Indices.size(); ++k)
    if (k >= d.PosicionIndice.size() || d.PosicionIndice[k] == 0) return d.Indices[k];
  return std::nullopt;
}

}  // namespace varlo
