#include "incidences/RangoFechas.h"

#include "common/Numeros.h"
#include "common/Texto.h"

namespace varlo {

namespace {
std::int16_t ParteNumerica(std::optional<std::string_view> parte) {
  if (!parte) LanzaError(errores::ArgumentoNoValido);  // the mask lacks its letter
  auto numero = NumeroEstricto(*parte);
  if (!numero) LanzaError(errores::TiposNoCoinciden);
  return TruncaEntero16(*numero);
}
}  // namespace

FechaHora LeeFecha(const MascaraFecha& m, std::string_view valor) {
  const std::string fecha = Recorta(valor);
  const VistaFecha p = CortaFecha(fecha, m);
  const std::int16_t anio = ParteNumerica(p.anio);
  const std::int16_t mes = ParteNumerica(p.mes);
  const std::int16_t dia = ParteNumerica(p.dia);
  try {
    return ComponeFechaExacta(anio, mes, dia);
  } catch (const ErrorVarlo& e) {
    // the line is in the result file, but which of its dates is meant is not
    throw ErrorVarlo(e.Numero(), e.Fuente(), e.Descripcion() + " (" + fecha + ")");
  }
}

RangoFechas RangoDe(const DefinicionIncidencias& d, const std::vector<std::string>& valores) {
  auto fecha = [&](std::int16_t columna) {
    try {
      if (columna < 1 || static_cast<std::size_t>(columna) > valores.size())
        LanzaError(errores::SubindiceFueraDeIntervalo);
      return LeeFecha(d.Mascara, valores[static_cast<std::size_t>(columna - 1)]);
    } catch (...) {
      throw ErrorFecha(ErrorCapturado(), columna);
    }
  };
  const FechaHora desde = fecha(d.ColumnaFecha);
  if (!d.HayFecha2) return {desde, desde};
  const auto columnaFinal = static_cast<std::int16_t>(d.ColumnaFecha + 1);
  const FechaHora hasta = fecha(columnaFinal);
  // A reversed range covers no day: the line would vanish from both result files.
  if (ComparaDias(hasta, desde) < 0)
    throw ErrorFecha(ErrorVarlo(errores::ArgumentoNoValido, kFuentePrograma,
                                "La fecha final es anterior a la fecha inicial"),
                     columnaFinal);
  return {desde, hasta};
}

}  // namespace varlo
