#pragma once
// What PostgreSQL's catalog is asked, by every backend that reaches it
// (ODBC, libpq): the same questions give the same answers on both paths.
// Markers are "?", bound in order.
#include <optional>
#include <string>
#include <vector>

#include "db/Backend.h"

namespace varlo::db {

// The kind of relation a name (in the dialect's quoting) stands for:
// tables ('r') and partitioned tables ('p') carry a ctid; views and foreign
// tables do not. Then whether rules of its own rewrite its writes, where an
// UPDATE may not return the row's new ctid. No row when nothing has that name.
inline constexpr const char* kClaseRelacionPostgres =
    "select c.relkind, cast(exists (select 1 from pg_rewrite w where w.ev_class = c.oid"
    " and w.rulename <> '_RETURN') as int) from pg_class c where c.oid = to_regclass(?)";

// PostgreSQL folds an unquoted name to lower case: the catalog is asked
// with the server's own rules, so that the name is then written quoted in
// its real spelling. The spelling given first, then its folded form, then
// the search path's order. Bound: table, schema, schema, table, schema, table
// (the schema empty for a one-part name).
inline constexpr const char* kNombreCatalogoPostgres =
    "select n.nspname, c.relname from pg_catalog.pg_class c"
    " join pg_catalog.pg_namespace n on n.oid = c.relnamespace"
    " where c.relkind in ('r', 'p', 'v', 'm', 'f')"
    " and lower(c.relname) = lower(cast(? as text))"
    " and case when cast(? as text) = '' then n.nspname = any(current_schemas(false))"
    " else lower(n.nspname) = lower(cast(? as text)) end"
    " order by c.relname = cast(? as text) desc, n.nspname = cast(? as text) desc,"
    " c.relname = lower(cast(? as text)) desc,"
    " array_position(current_schemas(false), n.nspname), n.nspname";

// Backend::TieneLocalizador and Backend::NombreCatalogo on PostgreSQL,
// asked through that backend.
std::optional<bool> LocalizadorPostgres(Backend& b, const std::string& tablaSql);
std::optional<std::vector<std::string>> NombreCatalogoPostgres(
    Backend& b, const std::vector<std::string>& partes);

}  // namespace varlo::db
