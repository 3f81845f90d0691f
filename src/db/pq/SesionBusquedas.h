#pragma once
// The session of lookups that both paths to PostgreSQL open beside the one
// that writes: it sees every committed row but none the writing transaction
// wrote, so it reads for that transaction only while the transaction wrote
// nothing but its held rows (whose keys the engine tracks itself).
#include <cstddef>
#include <string_view>

namespace varlo::db::pq {

// What a transaction reads through: its schema path, whether it runs as the
// login's own role (1) and its isolation.
inline constexpr const char* kEstadoTransaccion =
    "select pg_catalog.current_setting('search_path'),"
    " case when current_user = session_user then 1 else 0 end,"
    " pg_catalog.current_setting('transaction_isolation')";

// Whether a transaction with that answer reads the database as the session of
// lookups would: read committed (PostgreSQL reads uncommitted alike), as the
// login's own role.
inline bool LeeComoLaSesionDeBusquedas(std::string_view mismoRol, std::string_view aislamiento) {
  return mismoRol == "1" && (aislamiento == "read committed" || aislamiento == "read uncommitted");
}

// Whether a statement only reads (a select); anything else may write.
inline bool SoloLee(std::string_view texto) {
  const std::size_t i = texto.find_first_not_of(" \t\r\n(");
  if (i == std::string_view::npos || texto.size() - i <= 6) return false;
  for (std::size_t k = 0; k < 6; ++k)
    if ((texto[i + k] | 0x20) != "select"[k]) return false;
  return std::string_view(" \t\r\n*\"(").find(texto[i + 6]) != std::string_view::npos;
}

}  // namespace varlo::db::pq
