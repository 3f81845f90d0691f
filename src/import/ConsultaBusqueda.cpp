#include "import/ConsultaBusqueda.h"

#include <algorithm>
#include <charconv>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/TiposAdo.h"
#include "import/MascaraFecha.h"

namespace varlo {

namespace {
bool SoloDigitos(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), EsCifra);
}

// A number of digits; one too long for any date part reads as a year no
// calendar has.
int Cifras(std::string_view s) {
  int n = 99999;
  if (s.size() <= 5) std::from_chars(s.data(), s.data() + s.size(), n);
  return n;
}

// A year written with more than two digits is taken as written: "0099" is
// no year of the two-digit window.
int AnioEscrito(std::string_view s) {
  const int anio = Cifras(s);
  if (s.size() > 2 && anio < 100) LanzaError(errores::TiposNoCoinciden);
  return anio;
}

// A key date not at the fixed places (see FechaDeLlave), followed by nothing
// or by a time of day after a space or a "T".
FechaHora FechaDeLlaveConMascara(const std::string& valor, const MascaraFecha& mascara) {
  if (auto f = FechaConFormaDeMascara(valor, mascara)) return *f;
  const VistaFecha p = CortaFecha(valor, mascara);
  if (!p.porSeparadores || !SoloDigitos(*p.anio) || !SoloDigitos(*p.mes) || !SoloDigitos(*p.dia))
    LanzaError(errores::TiposNoCoinciden);
  FechaHora f = ComponeFechaExacta(AnioEscrito(*p.anio), Cifras(*p.mes), Cifras(*p.dia));
  std::string_view resto = p.resto;
  if (!resto.empty() && (resto.front() == 'T' || resto.front() == 't')) resto.remove_prefix(1);
  if (!resto.empty() && !LeeHoraDelDia(resto, f)) LanzaError(errores::TiposNoCoinciden);
  return f;
}

// A whole-number key is looked up with the number its row is written with.
// A fraction is refused rather than rounded: rounding would make "2.5" and
// "2" the same row, so one record would change the row another one names.
std::string LlaveEntera(const std::string& v, const std::string& llave) {
  const std::size_t punto = v.find('.');
  if (punto == std::string::npos) return v;
  const std::string_view fraccion = std::string_view(v).substr(punto + 1);
  if (!fraccion.empty() && fraccion.find_first_not_of('0') == std::string_view::npos)
    return v.substr(0, punto);
  if (SoloDigitos(fraccion))
    LanzaError(
        errores::TiposNoCoinciden,
        "La columna índice (" + llave + ") es de números enteros y el valor '" + v + "' no lo es");
  return v;
}

db::ClaseLiteral ClaseDeLlave(int tipoAdo) {
  // a GUID is written and compared as its text
  if (db::EsTipoTexto(tipoAdo) || tipoAdo == db::adGUID) return db::ClaseLiteral::Texto;
  if (db::EsTipoFecha(tipoAdo)) return db::ClaseLiteral::FechaHora;
  return db::ClaseLiteral::Numero;
}
}  // namespace

std::string ValorNuloEnLlave(const std::string& llave) {
  return "Valor nulo (TextoNulo) en la columna índice (" + llave + ")";
}

FechaHora FechaDeLlave(const std::string& valor, const MascaraFecha& mascara) {
  std::string dia = ParteTexto(valor, 1, 2), mes = ParteTexto(valor, 4, 2),
              anio = ParteTexto(valor, 7, 4);
  if (!SoloDigitos(dia) || !SoloDigitos(mes) || anio.size() != 4 || !SoloDigitos(anio))
    return FechaDeLlaveConMascara(valor, mascara);
  FechaHora f = ComponeFechaExacta(AnioEscrito(anio), Cifras(mes), Cifras(dia));
  if (LargoEnCaracteres(valor) > 10) {
    std::string horaTexto = ParteTexto(valor, 12, 2);
    if (!SoloDigitos(horaTexto)) LanzaError(errores::TiposNoCoinciden);
    int hora = std::stoi(horaTexto);
    const std::string_view sufijo = std::string_view(valor).substr(valor.size() - 4);
    if (hora == 12 && IgualSinCaso(sufijo, "a.m."))
      hora = 0;
    else if (hora >= 1 && hora <= 11 && IgualSinCaso(sufijo, "p.m."))
      hora += 12;
    const std::string h = (hora < 10 ? "0" : "") + std::to_string(hora);
    FechaHora t;
    if (!LeeFechaISO(h + ParteTexto(valor, 14, 6), t)) LanzaError(errores::TiposNoCoinciden);
    f.hora = t.hora;
    f.minuto = t.minuto;
    f.segundo = t.segundo;
  }
  return f;
}

ConsultaBusqueda::ConsultaBusqueda(const DefinicionTabla& d, db::Motor motor) : d_(d) {
  consulta_.columnas = d.CamposSelect;
  consulta_.columnas.insert(consulta_.columnas.end(), d.ColumnasNivel.begin(),
                            d.ColumnasNivel.end());
  consulta_.tabla = d.Tabla;
  for (std::size_t k = 0; k < d.Indices.size(); ++k) {
    consulta_.condiciones.push_back({d.Indices[k], ClaseDeLlave(d.TipoIndice[k]), {}, "="});
    llaveEntera_.push_back(db::EsTipoEntero(d.TipoIndice[k]));
    soloFecha_.push_back(d.TipoIndice[k] == db::adDBDate && !db::FechaGuardaHora(motor));
  }
}

const db::Consulta& ConsultaBusqueda::Para(const std::vector<std::string>& valores) {
  for (std::size_t k = 0; k < consulta_.condiciones.size(); ++k) {
    const auto c = static_cast<std::size_t>(d_.PosicionIndice[k] - 1);
    db::Predicado& p = consulta_.condiciones[k];
    if (EstaEnBlanco(valores[c]))
      LanzaError(errores::ArgumentoNoValido,
                 "Valor vacío en la columna índice (" + p.columna + ")");
    std::string v = Recorta(valores[c]);
    if (!d_.TextoNulo.empty() && v == d_.TextoNulo)
      LanzaError(errores::ArgumentoNoValido, ValorNuloEnLlave(p.columna));
    if (llaveEntera_[k]) v = LlaveEntera(v, p.columna);
    if (p.clase == db::ClaseLiteral::Texto || p.clase == db::ClaseLiteral::Numero) {
      p.valor = std::move(v);
    } else {
      FechaHora f = FechaDeLlave(v, d_.Mascara);
      p.clase = LargoEnCaracteres(v) > 10 ? db::ClaseLiteral::FechaHora : db::ClaseLiteral::Fecha;
      // A date column drops the time written to it: its row is found by the
      // day alone, or each run would add the line's row again.
      if (soloFecha_[k]) {
        f.hora = f.minuto = f.segundo = 0;
        p.clase = db::ClaseLiteral::Fecha;
      }
      p.valor = f;
    }
  }
  return consulta_;
}

}  // namespace varlo
