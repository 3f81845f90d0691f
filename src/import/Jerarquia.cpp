#include "import/Jerarquia.h"

#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Recordset.h"
#include "import/MascaraFecha.h"

namespace varlo {

// A walk that has not reached level 0 after this many steps fails.
constexpr int kPasosJerarquia = 10;

db::Consulta ConsultaJerarquia(const std::string& llave) {
  return db::BuscaPorTexto("Jerarquias", {"[Parent]"}, "[Key]", llave);
}

PadresJerarquia ObtenerPadres(db::Conexion& cn, const std::string& nivel,
                              const std::string& valor) {
  PadresJerarquia padres;
  std::string nivelActual = nivel;
  std::string valorActual = Recorta(valor);
  const std::string inicio = "_" + nivel + valorActual;
  for (int paso = 0; paso < kPasosJerarquia; ++paso) {
    const std::string llave = "_" + nivelActual + valorActual;
    auto rs = cn.AbreConsulta(ConsultaJerarquia(llave), 1);
    if (rs->BOF() && rs->EOF_()) {
      nivelActual = std::to_string(static_cast<int>(AEntero16(LeeNumero(nivelActual))) - 1);
      valorActual = "-1";
      padres.emplace_back(std::nullopt);
    } else {
      const db::Valor& v = rs->Value(0);
      if (db::EsNulo(v))
        LanzaError(errores::ArgumentoNoValido,
                   "La unidad " + llave + " no tiene padre en Jerarquias");
      std::string k = db::ValorComoTexto(v);
      nivelActual = ParteTexto(k, 2, 1);
      valorActual = Recorta(ParteTexto(k, 3, static_cast<int>(k.size())));
      padres.emplace_back(valorActual);
    }
    if (nivelActual == "0") return padres;
  }
  LanzaError(errores::ArgumentoNoValido, "La jerarquía de " + inicio + " no llega al nivel 0 en " +
                                             std::to_string(kPasosJerarquia) + " pasos");
}

RecorridosJerarquia::RecorridosJerarquia(const std::string& tablaImportada)
    : guarda_(!IgualSinCaso(QuitaCorchetes(tablaImportada), "Jerarquias")) {}

const PadresJerarquia& RecorridosJerarquia::Padres(db::Conexion& cn, const std::string& nivel,
                                                   const std::string& valor) {
  if (!guarda_ || hechos_.size() >= kMaximoGuardados) hechos_.clear();
  std::pair<std::string, std::string> unidad{nivel, Recorta(valor)};
  if (auto it = hechos_.find(unidad); it != hechos_.end()) return it->second;
  return hechos_.emplace(std::move(unidad), ObtenerPadres(cn, nivel, valor)).first->second;
}

void EscribeNiveles(db::Conexion& cn, db::Recordset& rs, const std::string& campoJerarquia,
                    int indiceJerarquia, const std::vector<int>& indicesNivel,
                    RecorridosJerarquia& recorridos) {
  const std::string nivel = campoJerarquia.substr(campoJerarquia.size() - 1);
  const PadresJerarquia& padres = recorridos.Padres(cn, nivel, rs.Texto(indiceJerarquia));
  const std::size_t niveles = indicesNivel.size();
  if (padres.size() < niveles) LanzaError(errores::SubindiceFueraDeIntervalo);

  // indicesNivel[j] is level niveles-1-j; level n takes the item (last - n).
  std::vector<db::Valor> anteriores;
  anteriores.reserve(niveles);
  for (int i : indicesNivel) anteriores.push_back(rs.Value(i));
  std::size_t j = 0;
  try {
    for (; j < niveles; ++j) {
      const auto& padre = padres[padres.size() - niveles + j];
      if (padre)
        rs.AsignaTexto(indicesNivel[j], *padre);
      else
        rs.Asigna(indicesNivel[j], db::Valor{});
    }
  } catch (...) {
    for (std::size_t k = 0; k < j; ++k) rs.Asigna(indicesNivel[k], anteriores[k]);
    throw;
  }
}

}  // namespace varlo
