#include "db/CatalogoPostgres.h"

namespace varlo::db {

std::optional<bool> LocalizadorPostgres(Backend& b, const std::string& tablaSql) {
  const ResultadoConsulta r = b.Consulta({kClaseRelacionPostgres, {tablaSql}}, 1);
  if (r.filas.empty() || r.filas[0].size() < 2) return std::nullopt;
  const std::string clase = ValorComoTexto(r.filas[0][0]);
  // rows of a table with rules are changed by their keys, one at a time
  return (clase == "r" || clase == "p") && ValorComoTexto(r.filas[0][1]) == "0";
}

std::optional<std::vector<std::string>> NombreCatalogoPostgres(
    Backend& b, const std::vector<std::string>& partes) {
  if (partes.empty() || partes.size() > 2) return std::nullopt;
  const std::string tabla = partes.back();
  const std::string esquema = partes.size() == 2 ? partes.front() : std::string();
  const ResultadoConsulta r =
      b.Consulta({kNombreCatalogoPostgres, {tabla, esquema, esquema, tabla, esquema, tabla}}, 1);
  if (r.filas.empty() || r.filas[0].size() < 2 || EsNulo(r.filas[0][1])) return std::nullopt;
  std::vector<std::string> real;
  if (partes.size() == 2) real.push_back(ValorComoTexto(r.filas[0][0]));
  real.push_back(ValorComoTexto(r.filas[0][1]));
  return real;
}

}  // namespace varlo::db
