#include "incidences/EscrituraKardex.h"

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/ErrorDeCorrida.h"
#include "import/DetalleRechazo.h"

namespace varlo {

namespace {
void Asigna(db::Recordset& rs, const std::string& campo, const std::string& texto,
            const std::string& mascara) {
  const int i = rs.IndiceCampo(campo);
  try {
    rs.AsignaTexto(i, texto);
  } catch (const ErrorVarlo& e) {
    // the reason first, then the column, its value and what it expected
    if (e.Numero() <= 0) throw;
    const db::InfoCampo& info = rs.Field(i);
    const std::string detalle =
        DetalleRechazo(campo, texto, info.tipo, info.tamanoDefinido, e.Numero(), mascara);
    if (detalle.empty()) throw;
    throw ErrorVarlo(e.Numero(), e.Fuente(), e.Descripcion() + ": " + detalle);
  }
}
}  // namespace

EscrituraKardex::EscrituraKardex(const DefinicionIncidencias& d, db::Conexion& cnBaseDatos,
                                 ResultadosIncidencias& resultados)
    : d_(d),
      cn_(cnBaseDatos),
      resultados_(resultados),
      consulta_(ConsultaDia(d, std::string(), FechaHora{})) {
  // the same for every day; the planning never writes these two columns
  for (int i = 1; i <= d.Columnas; ++i) {
    const std::string& campo = DeColumna(d.Campos, i);
    if (!EstaEnBlanco(campo) && !IgualSinCaso(campo, "ID_Calendario") &&
        !IgualSinCaso(campo, "FIAplicacion"))
      escritas_.emplace_back(i, Mayusculas(campo) == "FECHA");
  }
}

EscrituraKardex::~EscrituraKardex() {
  if (rsKardex_) rsKardex_->CierraSinEscribir();
}

db::Consulta EscrituraKardex::ConsultaDia(const DefinicionIncidencias& d,
                                          const std::string& empleado, const FechaHora& dia) {
  return {.columnas = d.CamposSelect,
          .tabla = "Kardex",
          .where = " where ",
          .condiciones = {{"Id_Empleado", db::ClaseLiteral::Texto, empleado, " = "},
                          {"Fecha", db::ClaseLiteral::Fecha, dia, "="}}};
}

EscrituraKardex::Resultado EscrituraKardex::EscribeDia(const std::string& linea,
                                                       const std::vector<std::string>& valores,
                                                       const FechaHora& dia) {
  consulta_.condiciones[0].valor = Recorta(DeColumna(valores, d_.ColumnaEmpleado));
  consulta_.condiciones[1].valor = dia;
  if (rsKardex_) rsKardex_->CierraSinEscribir();
  // the same lookup opened again: only the employee and the day change
  rsKardex_ = busquedas_.Reabre(cn_, consulta_, std::move(rsKardex_));

  // From here on every failure is the record's: its "_Er" line and NumeroError.
  NumeroError_ = 0;
  std::int16_t columna = 0;
  auto intenta = [&](auto&& paso) {
    try {
      paso();
    } catch (...) {
      db::RelanzaSiEsDeCorrida();
      const ErrorVarlo e = ErrorCapturado();
      resultados_.Rechazado(linea, e.Descripcion(), columna);
      NumeroError_ = e.Numero();
    }
  };

  // A test that fails counts as passed, so the step it guards still runs.
  bool nuevo = true;
  intenta([&] { nuevo = rsKardex_->BOF() && rsKardex_->EOF_(); });
  if (nuevo) intenta([&] { rsKardex_->AddNew(); });
  if (NumeroError_ > 0) return Resultado::RegistroAbandonado;

  for (const std::pair<int, bool>& escrita : escritas_) {
    const int i = escrita.first;
    const bool esFecha = escrita.second;
    columna = static_cast<std::int16_t>(i);
    const std::string_view valor = RecortaVista(DeColumna(valores, i));
    if (valor.empty()) continue;  // an empty value never overwrites a stored one
    intenta([&] {
      if (esFecha)  // the day of the range, never the source text
        Asigna(*rsKardex_, "Fecha", FormatoISO(dia), d_.Mascara.Texto);
      else
        Asigna(*rsKardex_, DeColumna(d_.Campos, i), std::string(valor), d_.Mascara.Texto);
    });
    if (NumeroError_ > 0) return Resultado::RegistroAbandonado;
  }

  columna = 0;
  intenta([&] { rsKardex_->Update(); });
  // a refusal that ended the transaction (a trigger's rollback): the next
  // days would be written without one
  const bool sinTransaccion = NumeroError_ < 0 && !cn_.TransaccionSigueAbierta();
  if (NumeroError_ == 0) {
    if (nuevo) ++DiasAgregados_;
    // a later line of the same employee and day is served this row
    busquedas_.Cambiada(cn_, *rsKardex_);
    intenta([&] { resultados_.Importado(linea); });
  }

  // a row the database refused is not kept pending for the next day
  rsKardex_->CierraSinEscribir();
  return sinTransaccion ? Resultado::RegistroAbandonado : Resultado::DiaHecho;
}

}  // namespace varlo
