#pragma once
// The few socket calls the libpq backend makes itself (the only POSIX
// calls of that backend): wait on the connection's socket until a deadline,
// and shut it down from this side when the server stopped answering.
#include <chrono>

namespace varlo::db::pq {

using Reloj = std::chrono::steady_clock;

enum class EstadoSocket { Listo, Plazo, Error };

// Waits until the socket can be read (and written, when `escritura`), or
// until `plazo`. Interrupted waits go on waiting.
EstadoSocket EsperaSocket(int socket, bool lectura, bool escritura, Reloj::time_point plazo);

// Ends both directions of the connection at once, without waiting for the
// other side: nothing more is sent and a read returns at once.
void CortaSocket(int socket) noexcept;

}  // namespace varlo::db::pq
