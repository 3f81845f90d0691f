#include "db/pq/ListaComoArreglo.h"

#include <cctype>
#include <utility>

#include "db/pq/LiteralArreglo.h"

namespace varlo::db::pq {

namespace {

// Where the list "in (?, ?, ...)" that ends the text begins, and its markers.
std::optional<std::pair<std::size_t, std::size_t>> ListaFinal(const std::string& sql) {
  std::size_t fin = sql.size();
  auto saltaEspacios = [&] {
    while (fin > 0 && std::isspace(static_cast<unsigned char>(sql[fin - 1]))) --fin;
  };
  saltaEspacios();
  if (fin == 0 || sql[fin - 1] != ')') return std::nullopt;
  --fin;
  std::size_t marcas = 0;
  for (;;) {
    saltaEspacios();
    if (fin == 0 || sql[fin - 1] != '?') return std::nullopt;
    --fin;
    ++marcas;
    saltaEspacios();
    if (fin == 0) return std::nullopt;
    if (sql[fin - 1] == ',') {
      --fin;
      continue;
    }
    if (sql[fin - 1] != '(') return std::nullopt;
    --fin;
    break;
  }
  saltaEspacios();
  // "in" as a word of its own
  if (fin < 3 || std::tolower(static_cast<unsigned char>(sql[fin - 1])) != 'n' ||
      std::tolower(static_cast<unsigned char>(sql[fin - 2])) != 'i' ||
      !std::isspace(static_cast<unsigned char>(sql[fin - 3])))
    return std::nullopt;
  const std::size_t inicio = fin - 2;
  // "not in" is no "= any"
  fin = inicio;
  saltaEspacios();
  std::string previa;
  while (fin > 0 && std::isalpha(static_cast<unsigned char>(sql[fin - 1])))
    previa.insert(previa.begin(), static_cast<char>(std::tolower(sql[--fin])));
  if (previa == "not") return std::nullopt;
  return std::make_pair(inicio, marcas);
}

}  // namespace

std::optional<ListaComoArreglo> ComoArreglo(const std::string& sql,
                                            const std::vector<Parametro>& parametros) {
  if (parametros.empty()) return std::nullopt;
  const auto lista = ListaFinal(sql);
  // every value bound must be the list's: none stands before it
  if (!lista || lista->second != parametros.size()) return std::nullopt;
  const unsigned int oid = parametros.front().oid;
  for (const Parametro& p : parametros)
    if (p.nulo || p.binario || p.oid != oid) return std::nullopt;
  const auto oidArreglo = OidDeArreglo(oid);
  if (!oidArreglo) return std::nullopt;
  ListaComoArreglo r;
  r.texto.assign(sql, 0, lista->first);
  r.texto.append("= any(?)");
  r.arreglo.oid = *oidArreglo;
  std::string& a = r.arreglo.datos;
  a = "{";
  for (std::size_t i = 0; i < parametros.size(); ++i) {
    if (i) a += ',';
    AnadeElemento(a, parametros[i].datos);
  }
  a += '}';
  return r;
}

}  // namespace varlo::db::pq
