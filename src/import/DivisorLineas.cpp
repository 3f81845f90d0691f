#include "import/DivisorLineas.h"

#include "common/ErrorVarlo.h"
#include "common/Texto.h"

namespace varlo {

DivisorLineas DivisorLineas::AnchoFijo(std::vector<std::int32_t> longitudes) {
  DivisorLineas d;
  d.longitudes_ = std::move(longitudes);
  return d;
}

DivisorLineas DivisorLineas::Separado(std::string separador, std::size_t columnas) {
  DivisorLineas d;
  d.separador_ = std::move(separador);
  d.columnas_ = columnas;
  return d;
}

DivisorLineas DivisorLineas::ConComillas(const std::string& comillas) const {
  DivisorLineas d = *this;
  if (separador_ && !comillas.empty()) d.comillas_.emplace(*separador_, comillas);
  return d;
}

void DivisorLineas::Divide(std::string_view linea, std::vector<std::string>& valores) const {
  const std::size_t n = Columnas();
  valores.resize(n);
  for (auto& v : valores) v.clear();
  if (!separador_) {
    // The running position is 16-bit; held wider here so that a 32-bit width
    // cannot wrap it below the overflow check.
    std::int64_t p = 1;
    std::size_t byte = 0;
    for (std::size_t c = 0; c < n; ++c) {
      std::int32_t largo = longitudes_[c];
      if (largo <= 0) continue;
      std::size_t fin = AvanzaCaracteres(linea, byte, largo);
      valores[c].assign(linea.substr(byte, fin - byte));
      byte = fin;
      p += largo;
      if (p > 32767) LanzaError(errores::Desbordamiento);
    }
    return;
  }
  if (comillas_) return comillas_->Divide(linea, valores);
  for (std::size_t inicio = 0, c = 0; c < n; ++c) {
    // an empty separator gives the whole line as one piece
    const std::size_t pos =
        separador_->empty() ? std::string_view::npos : BuscaSinCaso(linea, *separador_, inicio);
    valores[c].assign(linea.substr(inicio, pos - inicio));  // the rest when there is no separator
    if (pos == std::string_view::npos) return;
    inicio = pos + separador_->size();
  }
}

DivisorLineas DivisorDe(const DisposicionColumnas& d) {
  if (d.Formato == 1) return DivisorLineas::AnchoFijo(d.Longitudes);
  return DivisorLineas::Separado(d.Separador, d.Campos.size());
}

}  // namespace varlo
