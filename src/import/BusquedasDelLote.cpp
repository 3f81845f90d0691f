#include "import/BusquedasDelLote.h"

#include "common/ErrorVarlo.h"
#include "db/ErrorDeCorrida.h"

namespace varlo {

namespace {
// The generation of names of the model and of the queries that are the
// model's object itself; another query's names are compared.
constexpr unsigned long kMismosNombres = 1, kOtrosNombres = 0;

// The database's reason without the statement it quotes (a thousand markers).
std::string SinSentencia(const std::string& d) {
  return d.substr(0, d.find(" - Sentencia: "));
}
}  // namespace

void BusquedasDelLote::Busca(db::Conexion& cn, const db::Consulta& modelo,
                             const std::vector<db::Valor>& llaves,
                             const std::vector<std::string>* leidas) {
  anticipadas_.Olvida();
  try {
    std::optional<db::LoteLeido> lote = cn.BuscaLote(modelo, llaves, leidas);
    if (!lote) return;
    anticipadas_.Llena(modelo, lote->llaves, lote->sueltas, std::move(lote->filas),
                       lote->columnasLocalizador, kMismosNombres);
    epoca_ = lote->epoca;
    modelo_ = &modelo;
  } catch (...) {
    anticipadas_.Olvida();
    db::RelanzaSiEsDeCorrida();
    if (aviso_ && !avisada_ && !modelo.condiciones.empty()) {
      avisada_ = true;
      aviso_("Las búsquedas de " + std::to_string(llaves.size() / modelo.condiciones.size()) +
             " registros de la tabla " + modelo.tabla + " no se pudieron leer en una consulta (" +
             SinSentencia(ErrorCapturado().Descripcion()) +
             "); se buscan uno por uno (no se avisa de nuevo en esta tabla)");
    }
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

void BusquedasDelLote::Cambiada(const db::Conexion& cn, const db::Recordset& rs,
                                const std::vector<int>& exigidos) {
  if (!anticipadas_.SeRepite() || cn.Epoca() != epoca_) return;
  if (auto fila = rs.FilaComoLeida(exigidos)) anticipadas_.Renueva(std::move(*fila));
}

}  // namespace varlo
