// The "Conexion" string: its pairs, the password hidden for messages, and
// the ODBC string each backend gets. The whole input is the string.
#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Invariante.h"
#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/CadenaConexion.h"
#include "db/ErroresBD.h"

namespace varlo::fuzz {
namespace {

using Pares = std::vector<std::pair<std::string, std::string>>;

// The value of the first pair whose key is one of `claves`.
const std::string* Primero(const Pares& pares, const std::vector<std::string_view>& claves) {
  for (const auto& [clave, valor] : pares)
    for (std::string_view c : claves)
      if (IgualSinCaso(clave, c)) return &valor;
  return nullptr;
}

// The providers that name SQL Server, whose keys are translated.
bool EsSqlServer(const std::string* proveedor) {
  if (!proveedor) return false;
  auto empieza = [&](std::string_view prefijo) {
    return IgualSinCaso(std::string_view(*proveedor).substr(0, prefijo.size()), prefijo);
  };
  return IgualSinCaso(*proveedor, "SQLOLEDB") || empieza("SQLOLEDB.") || empieza("SQLNCLI") ||
         empieza("MSOLEDBSQL");
}

bool EsClaveDeClave(const std::string& clave) {
  return IgualSinCaso(clave, "PWD") || BuscaSinCaso(clave, "Password") != std::string::npos;
}

// Hiding keeps every pair in its place; only password values change.
void CompruebaOculta(const std::string& cadena, const Pares& pares) {
  Pares ocultos = db::LeePares(db::OcultaClave(cadena));
  EXIGE(ocultos.size() == pares.size());
  for (std::size_t i = 0; i < pares.size(); ++i) {
    EXIGE(ocultos[i].first == pares[i].first);
    if (!EsClaveDeClave(pares[i].first))
      EXIGE(ocultos[i].second == pares[i].second);
    else
      EXIGE(ocultos[i].second.starts_with("***") ||
            (ocultos[i].second.empty() && pares[i].second.empty()));
  }
}

// Each key the SQL Server translation carries reads back from the ODBC
// string with the value it had.
void CompruebaSqlServer(const Pares& pares, const std::string& odbc) {
  Pares traducidos = db::LeePares(odbc);
  const std::string* driver = Primero(pares, {"Driver"});
  EXIGE(!traducidos.empty() && traducidos[0].first == "DRIVER");
  EXIGE(traducidos[0].second == (driver ? *driver : "FreeTDS"));
  const std::pair<std::string_view, std::vector<std::string_view>> claves[] = {
      {"DATABASE", {"Initial Catalog", "Database"}},
      {"UID", {"User ID", "UID", "User"}},
      {"PWD", {"Password", "PWD"}},
      {"APP", {"Application Name", "Aplication Name", "APP"}},
      {"WSID", {"Workstation ID", "WSID"}},
  };
  for (const auto& [destino, origen] : claves) {
    const std::string* antes = Primero(pares, origen);
    const std::string* despues = Primero(traducidos, {destino});
    EXIGE((antes == nullptr) == (despues == nullptr));
    if (antes) EXIGE(*antes == *despues);
  }
}

// Passed to ODBC as written: the same pairs, without Provider. The string
// is trimmed, so a quote left open at its end may lose trailing spaces.
void CompruebaOdbc(const Pares& pares, const std::string& odbc) {
  Pares esperados;
  for (const auto& p : pares)
    if (!IgualSinCaso(p.first, "Provider")) esperados.push_back(p);
  Pares obtenidos = db::LeePares(odbc);
  if (!esperados.empty() && obtenidos.size() == esperados.size() &&
      obtenidos.back().second == RecortaDer(esperados.back().second))
    obtenidos.back().second = esperados.back().second;
  EXIGE(obtenidos == esperados);
}

bool EsUri(const std::string& cadena) {
  const std::string c = Recorta(cadena);
  auto empieza = [&](std::string_view p) {
    return IgualSinCaso(std::string_view(c).substr(0, p.size()), p);
  };
  return empieza("postgresql://") || empieza("postgres://");
}

// A URI goes to libpq as written, its scheme in lower case.
void CompruebaUri(const std::string& cadena, const db::DestinoConexion& d) {
  EXIGE(d.backend == db::TipoBackend::PostgreSql);
  const std::string c = Recorta(cadena);
  EXIGE(d.conninfo.size() == c.size() && IgualSinCaso(d.conninfo, c));
  EXIGE(d.conninfo.substr(d.conninfo.find("://")) == c.substr(c.find("://")));
}

// The conninfo built from OLE DB keys: libpq reads back the host, the user
// and the password each with the value of the last pair that gave it.
void CompruebaPostgres(const Pares& pares, const std::string& conninfo) {
  // libpq would read it only up to a NUL
  EXIGE(conninfo.find('\0') == std::string::npos);
  char* error = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> o(
      PQconninfoParse(conninfo.c_str(), &error), PQconninfoFree);
  if (!o) {
    // only a key libpq does not know may make it refuse the string
    const std::string m = error ? error : "";
    PQfreemem(error);
    EXIGE(m.find("invalid connection option") != std::string::npos);
    return;
  }
  const std::pair<std::string_view, std::vector<std::string_view>> claves[] = {
      {"host", {"Data Source", "Host", "Server", "Address", "Addr"}},
      {"user", {"User ID", "UID", "User"}},
      {"password", {"Password", "PWD"}},
  };
  for (const auto& [destino, origen] : claves) {
    const std::string* ultimo = nullptr;
    for (const auto& [clave, valor] : pares)
      for (std::string_view c : origen)
        if (IgualSinCaso(clave, c)) ultimo = &valor;
    // a pass-through key may give the same keyword later
    const std::string* repetido = Primero(pares, {destino});
    if (!ultimo || repetido) continue;
    const char* leido = nullptr;
    for (const PQconninfoOption* i = o.get(); i->keyword; ++i)
      if (destino == i->keyword) leido = i->val;
    EXIGE(leido && *ultimo == leido);
  }
}

}  // namespace
}  // namespace varlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
  using namespace varlo;
  using namespace varlo::fuzz;
  std::string cadena(reinterpret_cast<const char*>(datos), tamano);
  Pares pares = db::LeePares(cadena);
  for (const auto& [clave, valor] : pares) EXIGE(!clave.empty());
  if (!EsUri(cadena)) CompruebaOculta(cadena, pares);
  try {
    db::DestinoConexion d = db::InterpretaCadena(cadena);
    if (EsUri(cadena)) {
      CompruebaUri(cadena, d);
    } else if (d.backend == db::TipoBackend::PostgreSql) {
      CompruebaPostgres(pares, d.conninfo);
    } else if (d.backend == db::TipoBackend::SQLite) {
      EXIGE(!EstaEnBlanco(d.rutaSQLite));
    } else if (EsSqlServer(Primero(pares, {"Provider"}))) {
      CompruebaSqlServer(pares, d.cadenaOdbc);
    } else {
      CompruebaOdbc(pares, d.cadenaOdbc);
    }
  } catch (const ErrorVarlo& e) {
    // every unusable string is a failure to open, as the provider reports it
    EXIGE(e.Numero() == errores::FalloProveedor);
  }
  return 0;
}
