#include "import/EscrituraRegistro.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "common/Texto.h"
#include "db/ErrorDeCorrida.h"
#include "db/Recordset.h"
#include "db/TiposAdo.h"
#include "import/ConsultaBusqueda.h"
#include "import/DetalleRechazo.h"
#include "import/FotoRegistro.h"
#include "import/Jerarquia.h"
#include "import/MascaraFecha.h"
#include "import/PlanColumnas.h"

namespace varlo {

namespace {
constexpr int kNoSeEscribe = -1;
constexpr int kNoEstaEnConsulta = -2;
}  // namespace

EscrituraRegistro::EscrituraRegistro(const DefinicionTabla& d, db::Conexion& cn,
                                     cls_ADODBServices& imagenes)
    : d_(d), cn_(cn), imagenes_(imagenes), conversion_(d), recorridos_(d.Tabla) {}

void EscrituraRegistro::Prepara(const db::Recordset& rs) {
  auto busca = [&rs](const std::string& nombre) {
    try {
      return rs.IndiceCampo(nombre);
    } catch (const ErrorVarlo&) {
      return kNoEstaEnConsulta;
    }
  };
  indices_.assign(d_.Campos.size(), kNoSeEscribe);
  tipos_.assign(d_.Campos.size(), 0);
  for (std::size_t c = 0; c < d_.Campos.size(); ++c) {
    const std::string& campo = d_.Campos[c];
    if (EstaEnBlanco(campo) || ColumnaSoloLectura(d_.Tabla, campo)) continue;
    indices_[c] = busca(campo);
    if (indices_[c] >= 0) tipos_[c] = rs.Field(indices_[c]).tipo;
  }
  indicesNivel_.clear();
  if (!d_.CampoJerarquia.empty()) {
    indiceJerarquia_ = busca(QuitaCorchetes(d_.CampoJerarquia));
    for (const std::string& nivel : d_.ColumnasNivel) indicesNivel_.push_back(busca(nivel));
  }
  preparada_ = true;
}

std::int32_t EscrituraRegistro::ColumnaLlave() const {
  for (std::size_t k = 0; k < d_.Indices.size() && k < d_.PosicionIndice.size(); ++k)
    if (d_.Indices[k] == d_.NombreIndice) return d_.PosicionIndice[k];
  return 0;
}

int EscrituraRegistro::Indice(const db::Recordset& rs, std::size_t columna) const {
  // Not in the select list: asking again raises the layer's own error 3265.
  if (indices_[columna] == kNoEstaEnConsulta) return rs.IndiceCampo(d_.Campos[columna]);
  return indices_[columna];
}

void EscrituraRegistro::EscribeColumna(db::Recordset& rs, std::size_t c, const std::string& bruto,
                                       ValorConvertido* convertido) {
  if (indices_[c] == kNoSeEscribe) return;
  const int i = Indice(rs, c);
  const db::InfoCampo& campo = rs.Field(i);
  std::optional<ValorConvertido> aqui;
  if (!convertido || !conversion_.Vale(c, *convertido, tipos_[c], campo))
    convertido = &aqui.emplace(conversion_.Convierte(c, bruto, tipos_[c], campo));
  switch (convertido->estado) {
    case ValorConvertido::Estado::Fallido:
      std::rethrow_exception(convertido->error);
    case ValorConvertido::Estado::Foto:
      AsignaFotoRegistro(imagenes_, rs, i, d_.Campos[c], d_, fotos_);
      return;
    case ValorConvertido::Estado::Listo:
      rs.AsignaConvertido(i, std::move(convertido->valor));
      return;
    default:
      return;
  }
}

ResultadoRegistro EscrituraRegistro::Escribe(db::Recordset& rs,
                                             const std::vector<std::string>& valores,
                                             std::vector<ValorConvertido>* convertidos) {
  ResultadoRegistro r;
  // The system's own reason first; for a column's value, which value and
  // what the column expected after it. Errors of the run leave the record.
  auto rechaza = [&](std::int32_t columna) {
    db::RelanzaSiEsDeCorrida();
    ErrorVarlo e = ErrorCapturado();
    std::string descripcion = e.Descripcion();
    if (columna >= 1 && static_cast<std::size_t>(columna) <= d_.Campos.size()) {
      const std::size_t c = static_cast<std::size_t>(columna - 1);
      const long tamano = indices_[c] >= 0 ? rs.Field(indices_[c]).tamanoDefinido : 0;
      const std::string detalle =
          DetalleRechazo(d_.Campos[c], c < valores.size() ? valores[c] : std::string(), tipos_[c],
                         tamano, e.Numero(), d_.Mascara.Texto);
      if (!detalle.empty()) descripcion += ": " + detalle;
    }
    r.rechazos.push_back({descripcion, columna});
  };
  if (!preparada_) Prepara(rs);

  try {
    r.agregado = rs.BOF() && rs.EOF_();
    if (r.agregado) rs.AddNew();
  } catch (...) {
    rechaza(0);
    return r;
  }

  for (std::size_t c = 0; c < d_.Campos.size(); ++c) {
    try {
      EscribeColumna(rs, c, c < valores.size() ? valores[c] : std::string(),
                     convertidos && c < convertidos->size() ? &(*convertidos)[c] : nullptr);
    } catch (const ErrorLlaveFoto&) {
      rechaza(ColumnaLlave());
      return r;
    } catch (...) {
      rechaza(static_cast<std::int32_t>(c + 1));
      return r;
    }
  }

  if (!d_.CampoJerarquia.empty()) {
    try {
      int i = indiceJerarquia_ == kNoEstaEnConsulta
                  ? rs.IndiceCampo(QuitaCorchetes(d_.CampoJerarquia))
                  : indiceJerarquia_;
      for (std::size_t n = 0; n < indicesNivel_.size(); ++n)
        if (indicesNivel_[n] == kNoEstaEnConsulta) rs.IndiceCampo(d_.ColumnasNivel[n]);
      EscribeNiveles(cn_, rs, d_.CampoJerarquia, i, indicesNivel_, &recorridos_);
    } catch (...) {
      rechaza(static_cast<std::int32_t>(d_.Columnas) + 1);
    }
  }

  try {
    rs.Update();
  } catch (...) {
    rechaza(0);
  }
  return r;
}

}  // namespace varlo
