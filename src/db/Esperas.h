#pragma once
// How long the database layer waits before it gives up: bounded waits keep an
// unattended run from hanging on a frozen server or a lock nobody releases.
// The defaults are the original provider's; a caller (a test) may shorten them.
#include <chrono>

namespace varlo::db {

struct Esperas {
  // Logging in to a server that does not answer.
  std::chrono::seconds conexion{15};
  // A lock another program holds on the database file.
  std::chrono::milliseconds bloqueo{5000};
  // One statement; a longer one is cancelled.
  std::chrono::seconds sentencia{30};
};

}  // namespace varlo::db
