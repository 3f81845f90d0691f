#pragma once
// The psql client of the test cluster's PostgreSQL (VARLODI_PG_BINDIR, as
// scripts/pg-cluster uses it), else Debian 12's, else the one on the PATH.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace varlo::prueba {

inline std::string Psql() {
  if (const char* dir = std::getenv("VARLODI_PG_BINDIR"); dir && *dir)
    return std::string(dir) + "/psql";
  if (std::filesystem::exists("/usr/lib/postgresql/15/bin/psql"))
    return "/usr/lib/postgresql/15/bin/psql";
  return "psql";
}

}  // namespace varlo::prueba
