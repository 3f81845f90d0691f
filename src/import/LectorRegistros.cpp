#include "import/LectorRegistros.h"

#include <string_view>

namespace varlo {

namespace {

ErrorVarlo Defecto(long numero, std::string descripcion) {
  return ErrorVarlo(numero, kFuentePrograma, std::move(descripcion));
}

// A line past the limit was cut short: what it holds after the cut is unknown.
bool Cortada(const std::optional<ErrorVarlo>& defecto) {
  return defecto && defecto->Numero() == errores::Desbordamiento;
}

}  // namespace

LectorRegistros::LectorRegistros(const std::string& ruta, const DivisorLineas& divisor)
    : lector_(ruta) {
  if (const DivisorComillas* c = divisor.Comillas()) comillas_ = *c;
}

bool LectorRegistros::AtEndOfStream() {
  return !HayDevueltas() && lector_.AtEndOfStream();
}

LectorRegistros::Fisica LectorRegistros::Siguiente() {
  Fisica f;
  if (HayDevueltas()) {
    const Tramo t = tramosDevueltos_.front();
    tramosDevueltos_.pop_front();
    f.texto.assign(devueltas_, inicioDevuelta_, t.largo);
    inicioDevuelta_ += t.largo;
    f.largoFin = t.largoFin;
    f.numero = numeroDevuelta_++;
    if (!defectosDevueltos_.empty() && defectosDevueltos_.front().first == f.numero) {
      f.defecto = std::move(defectosDevueltos_.front().second);
      defectosDevueltos_.pop_front();
    }
    if (tramosDevueltos_.empty()) {
      devueltas_.clear();
      inicioDevuelta_ = 0;
    }
    return f;
  }
  f.texto = lector_.ReadLine();
  f.numero = lector_.NumeroLinea();
  try {
    lector_.CompruebaLinea();
  } catch (const ErrorVarlo& e) {
    f.defecto = e;
  }
  const std::string_view fin = lector_.FinDeLinea();
  f.texto += fin;
  f.largoFin = fin.size();
  return f;
}

void LectorRegistros::Devuelve(const std::string& texto, std::size_t desde,
                               const std::vector<Tramo>& tramos, long primera,
                               std::vector<std::pair<long, ErrorVarlo>>& defectos) {
  // The lines read ahead go before those still waiting from an earlier hand-back.
  devueltas_ = texto.substr(desde) + devueltas_.substr(inicioDevuelta_);
  inicioDevuelta_ = 0;
  tramosDevueltos_.insert(tramosDevueltos_.begin(), tramos.begin() + 1, tramos.end());
  numeroDevuelta_ = primera + 1;
  defectosDevueltos_.insert(defectosDevueltos_.begin(), std::make_move_iterator(defectos.begin()),
                            std::make_move_iterator(defectos.end()));
}

LineaLeida LectorRegistros::Lee() {
  LineaLeida r;
  if (!comillas_) {
    r.texto = lector_.ReadLine();
    r.linea = lector_.NumeroLinea();
    try {
      lector_.CompruebaLinea();
    } catch (const ErrorVarlo& e) {
      r.defecto = e;
    }
    return r;
  }

  Fisica f = Siguiente();
  r.linea = f.numero;
  r.defecto = std::move(f.defecto);
  std::string texto = std::move(f.texto);
  std::vector<Tramo> tramos{
      {static_cast<std::uint32_t>(texto.size()), static_cast<std::uint8_t>(f.largoFin)}};
  std::vector<std::pair<long, ErrorVarlo>> defectos;  // of the lines after the first
  DivisorComillas::Recorrido recorrido;
  if (!Cortada(r.defecto))
    comillas_->Recorre(std::string_view(texto).substr(0, texto.size() - f.largoFin), recorrido);

  // A quoted value with a line break goes on over the next lines.
  while (recorrido.abierta) {
    std::optional<ErrorVarlo> sinCerrar;
    if (AtEndOfStream()) {
      sinCerrar =
          Defecto(errores::TiposNoCoinciden, "Las comillas abiertas en la línea " +
                                                 std::to_string(r.linea) + " no se cierran");
    } else {
      Fisica g = Siguiente();
      const bool cortada = Cortada(g.defecto);
      tramos.push_back(
          {static_cast<std::uint32_t>(g.texto.size()), static_cast<std::uint8_t>(g.largoFin)});
      texto += g.texto;
      if (g.defecto) defectos.emplace_back(g.numero, *g.defecto);
      if (!cortada && texto.size() > kLargoMaximoRegistro) {
        sinCerrar = Defecto(errores::Desbordamiento,
                            "Las comillas abiertas en la línea " + std::to_string(r.linea) +
                                " no se cierran dentro del largo máximo de " +
                                std::to_string(kLargoMaximoRegistro) + " bytes");
      } else {
        if (g.defecto && !r.defecto) r.defecto = std::move(g.defecto);
        // The record ends at a line cut short; its reason names that line.
        if (cortada) break;
        comillas_->Recorre(std::string_view(texto).substr(texto.size() - g.texto.size(),
                                                          g.texto.size() - g.largoFin),
                           recorrido);
      }
    }
    if (sinCerrar) {
      // Only the line where the quote opened is rejected; the lines after it
      // are read again as records of their own.
      Devuelve(texto, tramos.front().largo, tramos, r.linea, defectos);
      texto.resize(tramos.front().largo - tramos.front().largoFin);
      r.texto = std::move(texto);
      r.defecto = std::move(sinCerrar);
      return r;
    }
  }
  texto.resize(texto.size() - tramos.back().largoFin);
  r.texto = std::move(texto);
  if (recorrido.columnaMala != 0 && !r.defecto)
    r.defecto = Defecto(errores::TiposNoCoinciden,
                        "Texto después de las comillas de cierre en la columna " +
                            std::to_string(recorrido.columnaMala));
  return r;
}

long LectorRegistros::Cuenta(const std::string& ruta, const DivisorLineas& divisor,
                             std::optional<Codificacion> codificacion) {
  if (!divisor.Comillas()) return LectorLineas::CuentaLineas(ruta);
  LectorRegistros l(ruta, divisor);
  if (codificacion) l.Lineas().EstableceCodificacion(*codificacion);
  long n = 0;
  while (!l.AtEndOfStream()) {
    l.Lee();
    ++n;
  }
  return n;
}

}  // namespace varlo
