#include "import/RecorridoFuente.h"

#include <utility>

#include "common/Numeros.h"

namespace varlo {

namespace {
std::string Entero(double n) {
  return std::to_string(static_cast<long long>(n));
}
}  // namespace

RecorridoFuente::RecorridoFuente(Corrida& f, std::string nombre, const std::string& etiqueta,
                                 const std::string& ruta, const DivisorLineas& divisor,
                                 const OpcionesFuente& o, ResumenImportacion& resumen)
    : f_(f),
      ventana_(f.ventana()),
      nombre_(std::move(nombre)),
      resumen_(resumen),
      estado_("Importando datos (" + etiqueta + ")... ("),
      antesDelContador_(estado_.size()),
      divisor_(divisor),
      lector_(ruta, divisor_) {
  ventana_.EstableceEstado("Abriendo archivo origen (" + ruta + ")...");
  // counted first, so that the progress bar knows where the source ends
  resumen.leidas =
      AEntero32(static_cast<double>(LectorRegistros::Cuenta(ruta, divisor_, o.codificacion)));
  if (resumen.leidas > 0) ventana_.EstableceMaximo(static_cast<double>(resumen.leidas));
  if (o.codificacion) lector_.Lineas().EstableceCodificacion(*o.codificacion);
  resumen.omitidas = lector_.Salta(o.lineasEncabezado);
  ventana_.EstableceValor(static_cast<double>(resumen.omitidas));
  codificacion_ = lector_.Lineas().CodificacionArchivo();
  lectura_.emplace(lector_, &divisor_);
}

FinRecorrido RecorridoFuente::Recorre(const std::function<void(LineaLeida)>& procesa,
                                      const std::function<void()>& despues,
                                      MaximoRechazos& maximo) {
  // " de m)", written again only when the maximum changes
  std::optional<double> maximoEscrito;
  std::string deMaximo;
  while (!lectura_->AlFinal()) {
    if (f_.Interrumpida()) return FinRecorrido::Interrumpido;
    if (maximoEscrito != ventana_.Maximo()) {
      maximoEscrito = ventana_.Maximo();
      deMaximo = " de " + Entero(*maximoEscrito) + ")";
    }
    estado_.resize(antesDelContador_);
    estado_ += Entero(ventana_.Valor() + 1);  // short enough to need no allocation
    estado_ += deMaximo;
    ventana_.EstableceEstado(estado_);
    ventana_.ProcesaEventos();
    procesa(lectura_->Lee());
    despues();
    ventana_.EstableceValor(ventana_.Valor() + 1);
    f_.AvanceImportacion(nombre_, resumen_);
    if (maximo.SeDetuvo()) return FinRecorrido::Detenido;
  }
  return FinRecorrido::Completo;
}

std::string RecorridoFuente::LineasHechas() const {
  return Entero(ventana_.Valor()) + " de " + Entero(ventana_.Maximo());
}

}  // namespace varlo
