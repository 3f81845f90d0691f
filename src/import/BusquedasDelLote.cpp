#include "import/BusquedasDelLote.h"

#include "common/ErrorVarlo.h"
#include "db/ErrorDeCorrida.h"

namespace varlo {

namespace {
// The generation of names of the model and of the queries that are the
// model's object itself; another query's names are compared.
constexpr unsigned long kMismosNombres = 1, kOtrosNombres = 0;
}  // namespace

void BusquedasDelLote::Busca(db::Conexion& cn, const db::Consulta& modelo,
                             const std::vector<db::Valor>& llaves) {
  anticipadas_.Olvida();
  try {
    std::optional<db::LoteLeido> lote = cn.BuscaLote(modelo, llaves);
    if (!lote) return;
    anticipadas_.Llena(modelo, lote->llaves, lote->sueltas, std::move(lote->filas),
                       lote->columnasLocalizador, kMismosNombres);
    epoca_ = lote->epoca;
    modelo_ = &modelo;
  } catch (...) {
    anticipadas_.Olvida();
    db::RelanzaSiEsDeCorrida();
  }
}

std::unique_ptr<db::Recordset> BusquedasDelLote::Reabre(db::Conexion& cn,
                                                        const db::Consulta& consulta,
                                                        std::unique_ptr<db::Recordset> anterior) {
  if (!anticipadas_.Vacia()) {
    if (cn.Epoca() != epoca_) {
      // read in a transaction that has ended: nothing of it holds now
      anticipadas_.Olvida();
    } else if (auto filas = anticipadas_.TomaFilas(
                   consulta, &consulta == modelo_ ? kMismosNombres : kOtrosNombres)) {
      return cn.ReabreConsultaLeida(consulta, std::move(anterior), anticipadas_.Campos(),
                                    std::move(*filas), anticipadas_.VersionCampos());
    }
  }
  return cn.ReabreConsulta(consulta, 1, std::move(anterior));
}

}  // namespace varlo
