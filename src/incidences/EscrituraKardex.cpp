#include "incidences/EscrituraKardex.h"

#include "import/DetalleRechazo.h"

#include "common/Texto.h"

namespace varlo {

namespace {
bool NuncaSeAsigna(const std::string& campo) {
  return IgualSinCaso(campo, "ID_Calendario") || IgualSinCaso(campo, "FIAplicacion");
}
}  // namespace

EscrituraKardex::EscrituraKardex(const DefinicionIncidencias& d, db::Conexion& cnBaseDatos,
                                 ResultadosIncidencias& resultados)
    : d_(d),
      cn_(cnBaseDatos),
      resultados_(resultados),
      consulta_(ConsultaDia(d, std::string(), FechaHora{})) {
  // what each column does, the same for every day
  for (int i = 1; i <= d.Columnas; ++i) {
    const std::string& campo = DeColumna(d.Campos, i);
    usos_.push_back(EstaEnBlanco(campo) || NuncaSeAsigna(campo) ? Uso::Ninguno
                    : Mayusculas(campo) == "FECHA"              ? Uso::Fecha
                                                                : Uso::Valor);
  }
}

EscrituraKardex::~EscrituraKardex() {
  try {
    CierraAnterior();
  } catch (...) {
    // Pending changes of an abandoned record are dropped either way.
  }
}

db::Consulta EscrituraKardex::ConsultaDia(const DefinicionIncidencias& d,
                                          const std::string& empleado, const FechaHora& dia) {
  return {.columnas = d.CamposSelect,
          .tabla = "Kardex",
          .where = " where ",
          .condiciones = {{"Id_Empleado", db::ClaseLiteral::Texto, empleado, " = "},
                          {"Fecha", db::ClaseLiteral::Fecha, dia, "="}}};
}

void EscrituraKardex::CierraAnterior() {
  if (rsKardex_ && rsKardex_->State() == 1) {
    if (rsKardex_->EditMode() != db::Recordset::adEditNone) rsKardex_->CancelUpdate();
    rsKardex_->Close();
  }
}

void EscrituraKardex::Asigna(const std::string& campo, const std::string& texto) {
  const int i = rsKardex_->IndiceCampo(campo);
  try {
    rsKardex_->AsignaTexto(i, texto);
  } catch (const ErrorVarlo& e) {
    // the reason first, then the column, its value and what it expected
    if (e.Numero() <= 0) throw;
    const db::InfoCampo& info = rsKardex_->Field(i);
    const std::string detalle =
        DetalleRechazo(campo, texto, info.tipo, info.tamanoDefinido, e.Numero(), d_.Mascara.Texto);
    if (detalle.empty()) throw;
    throw ErrorVarlo(e.Numero(), e.Fuente(), e.Descripcion() + ": " + detalle);
  }
}

EscrituraKardex::Resultado EscrituraKardex::EscribeDia(const std::string& linea,
                                                       const std::vector<std::string>& valores,
                                                       const FechaHora& dia) {
  // The lookup: its failures end the run.
  consulta_.condiciones[0].valor = Recorta(DeColumna(valores, d_.ColumnaEmpleado));
  consulta_.condiciones[1].valor = dia;
  CierraAnterior();
  // the same lookup opened again: only the employee and the day change
  rsKardex_ = busquedas_.Reabre(cn_, consulta_, std::move(rsKardex_));

  // From here on every failure is the record's.
  NumeroError_ = 0;
  ColumnaActual_ = 0;

  const bool nuevo = Intenta(
      linea, [&] { return rsKardex_->BOF() && rsKardex_->EOF_(); }, true);
  if (nuevo) Intenta(linea, [&] { rsKardex_->AddNew(); });
  if (NumeroError_ > 0) return Resultado::RegistroAbandonado;

  for (int i = 1; i <= d_.Columnas; ++i) {
    ColumnaActual_ = static_cast<std::int16_t>(i);
    const Uso uso = usos_[static_cast<std::size_t>(i - 1)];
    if (uso == Uso::Ninguno) continue;
    const std::string_view valor = RecortaVista(DeColumna(valores, i));
    if (valor.empty()) continue;  // an empty value never overwrites a stored one
    Intenta(linea, [&] {
      if (uso == Uso::Fecha)
        Asigna("Fecha", FormatoISO(dia));  // the day of the range, never the source text
      else
        Asigna(DeColumna(d_.Campos, i), std::string(valor));
    });
    if (NumeroError_ > 0) return Resultado::RegistroAbandonado;
  }

  ColumnaActual_ = 0;
  Intenta(linea, [&] { rsKardex_->Update(); });
  if (NumeroError_ == 0) {
    if (nuevo) ++DiasAgregados_;
    // a later line of the same employee and day is served this row
    busquedas_.Cambiada(cn_, *rsKardex_);
    Intenta(linea, [&] { resultados_.Importado(linea); });
  }

  // A failed test goes on with the step it guards.
  if (Intenta(
          linea, [&] { return rsKardex_->State() == 1; }, true)) {
    if (Intenta(
            linea, [&] { return rsKardex_->EditMode() == db::Recordset::adEditAdd; }, true))
      Intenta(linea, [&] { rsKardex_->CancelUpdate(); });
    Intenta(linea, [&] { rsKardex_->Close(); });
  }
  return Resultado::DiaHecho;
}

}  // namespace varlo
