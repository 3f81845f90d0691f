#include "db/pq/SocketPq.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace varlo::db::pq {

EstadoSocket EsperaSocket(int socket, bool lectura, bool escritura, Reloj::time_point plazo) {
  if (socket < 0) return EstadoSocket::Error;
  for (;;) {
    const auto falta =
        std::chrono::duration_cast<std::chrono::milliseconds>(plazo - Reloj::now()).count();
    if (falta <= 0) return EstadoSocket::Plazo;
    pollfd p{};
    p.fd = socket;
    p.events = static_cast<short>((lectura ? POLLIN : 0) | (escritura ? POLLOUT : 0));
    // rounded up, so that a wait never ends a little before its deadline
    const int r = poll(&p, 1, static_cast<int>(std::min<long long>(falta + 1, 60000)));
    if (r > 0) return EstadoSocket::Listo;  // errors and hang-ups too: libpq reads them
    if (r < 0 && errno != EINTR) return EstadoSocket::Error;
  }
}

void CortaSocket(int socket) noexcept {
  if (socket >= 0) (void)shutdown(socket, SHUT_RDWR);
}

}  // namespace varlo::db::pq
