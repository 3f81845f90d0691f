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
#include "import/MascaraFecha.h"
#include "import/PlanColumnas.h"

namespace varlo {

namespace {
constexpr int kNoSeEscribe = -1;
constexpr int kNoEstaEnConsulta = -2;

// The runtime's conversion of a text to a 16-bit integer.
std::int16_t EnteroDeTexto(std::string_view texto) {
  auto n = NumeroEstricto(texto);
  if (!n) LanzaError(errores::TiposNoCoinciden);
  return AEntero16(*n);
}

bool EsColumnaLlave(const DefinicionTabla& d, std::size_t columna) {
  return std::ranges::find(d.PosicionIndice, static_cast<int>(columna) + 1) !=
         d.PosicionIndice.end();
}

// Source column of the key field "NombreIndice" names (0 for a compound key).
std::int32_t ColumnaLlave(const DefinicionTabla& d) {
  const auto k = std::ranges::find(d.Indices, d.NombreIndice) - d.Indices.begin();
  return k < std::ssize(d.Indices) ? d.PosicionIndice[k] : 0;
}

std::string_view ParteExigida(const std::optional<std::string_view>& parte) {
  if (!parte) LanzaError(errores::ArgumentoNoValido);
  return *parte;
}

// One to four ASCII digits: the number they write, read as the general rules
// below would read it; nothing otherwise.
std::optional<int> Cifras(std::string_view s) {
  if (s.empty() || s.size() > 4) return std::nullopt;
  int n = 0;
  for (char c : s) {
    if (!EsCifra(c)) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::optional<FechaHora> FechaDePartes(const VistaFecha& p) {
  const std::string_view mes = ParteExigida(p.mes);
  const std::string_view dia = ParteExigida(p.dia);
  // the usual date, digits only: no general number reading
  if (p.anio) {
    const auto a = Cifras(*p.anio), m = Cifras(mes), d = Cifras(dia);
    if (a && m && d) {
      if (!(*m > 0 && *d > 0)) return std::nullopt;
      return ComponeFechaExacta(*a, *m, *d);
    }
  }
  if (!(LeeNumero(mes) > 0 && LeeNumero(dia) > 0)) return std::nullopt;
  const std::string_view anio = ParteExigida(p.anio);
  return ComponeFechaExacta(EnteroDeTexto(anio), EnteroDeTexto(mes), EnteroDeTexto(dia));
}
}  // namespace

bool ValorBooleano(std::string_view valor) {
  // digits alone (the usual 0/1): a number that is 0 only when every digit is
  if (!valor.empty() && std::all_of(valor.begin(), valor.end(), EsCifra))
    return valor.find_first_not_of('0') != std::string_view::npos;
  if (auto n = NumeroEstricto(valor)) return *n != 0;
  return valor.empty() || std::string_view("FfNn").find(valor.front()) == std::string_view::npos;
}

std::optional<FechaHora> FechaDeMascara(const std::string& valor, const MascaraFecha& m) {
  return FechaDePartes(CortaFecha(valor, m));
}

std::optional<FechaHora> FechaYHoraDeMascara(const std::string& valor, const MascaraFecha& m) {
  const VistaFecha p = CortaFecha(valor, m);
  std::optional<FechaHora> f = FechaDePartes(p);
  if (!f || m.Texto.empty()) return f;
  std::string_view resto = p.resto;
  if ((resto.size() > 1 && (resto[0] == 'T' || resto[0] == 't')) && EsCifra(resto[1]))
    resto.remove_prefix(1);
  if (resto.empty() || !EsCifra(resto[0])) return f;
  if (!LeeHoraDelDia(resto, *f)) LanzaError(errores::TiposNoCoinciden);
  return f;
}

EscrituraRegistro::EscrituraRegistro(const DefinicionTabla& d, db::Conexion& cn,
                                     cls_ADODBServices& imagenes)
    : d_(d), cn_(cn), imagenes_(imagenes), recorridos_(d.Tabla) {}

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
  if (!d_.CampoJerarquia.empty()) {
    indiceJerarquia_ = busca(QuitaCorchetes(d_.CampoJerarquia));
    if (indiceJerarquia_ >= 0) leidos_ = {indiceJerarquia_};
    for (const std::string& nivel : d_.ColumnasNivel) indicesNivel_.push_back(busca(nivel));
  }
}

void EscrituraRegistro::EscribeColumna(db::Recordset& rs, std::size_t c, const std::string& bruto) {
  if (indices_[c] == kNoSeEscribe) return;
  // Not in the select list: asking again raises the layer's own error 3265.
  const int i = indices_[c] == kNoEstaEnConsulta ? rs.IndiceCampo(d_.Campos[c]) : indices_[c];
  const int tipo = tipos_[c];
  const std::string_view v = RecortaVista(bruto);
  if (!d_.TextoNulo.empty() && v == d_.TextoNulo) {
    // Asked for in so many words: NULL, whatever the column's type; a key never.
    if (EsColumnaLlave(d_, c))
      LanzaError(errores::ArgumentoNoValido, ValorNuloEnLlave(d_.Campos[c]));
    rs.Asigna(i, db::Valor{});
    return;
  }
  if (v.empty()) {
    // An empty value never clears a column; a picture column takes its file.
    if (tipo == db::adLongVarBinary) AsignaFotoRegistro(imagenes_, rs, i, d_.Campos[c], d_, fotos_);
    return;
  }
  if (db::EsTipoFecha(tipo)) {
    // A date key is written as its lookup read it, time of day included:
    // otherwise the next run would not find the row.
    if (EsColumnaLlave(d_, c))
      rs.Asigna(i, FechaDeLlave(std::string(v), d_.Mascara));
    else if (auto f = FechaYHoraDeMascara(bruto, d_.Mascara))
      rs.Asigna(i, *f);
  } else if (tipo == db::adBoolean) {
    rs.Asigna(i, ValorBooleano(v));
  } else if (v.size() == bruto.size()) {
    rs.AsignaTexto(i, bruto);
  } else {
    texto_.assign(v);  // reuses its buffer from one value to the next
    rs.AsignaTexto(i, texto_);
  }
}

ResultadoRegistro EscrituraRegistro::Escribe(db::Recordset& rs,
                                             const std::vector<std::string>& valores) {
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
          DetalleRechazo(d_.Campos[c], valores[c], tipos_[c], tamano, e.Numero(), d_.Mascara.Texto);
      if (!detalle.empty()) descripcion += ": " + detalle;
    }
    r.rechazos.push_back({descripcion, columna});
  };
  if (indices_.empty()) Prepara(rs);  // a table has columns: empty until prepared

  try {
    r.agregado = rs.BOF() && rs.EOF_();
    if (r.agregado) rs.AddNew();
  } catch (...) {
    rechaza(0);
    return r;
  }

  for (std::size_t c = 0; c < d_.Campos.size(); ++c) {
    try {
      EscribeColumna(rs, c, valores[c]);
    } catch (const ErrorLlaveFoto&) {
      rechaza(ColumnaLlave(d_));
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
      EscribeNiveles(cn_, rs, d_.CampoJerarquia, i, indicesNivel_, recorridos_);
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
