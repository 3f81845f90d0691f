#pragma once
// The sockets this process holds, so that a connection can be cut from the
// client side: ODBC gives no hand on a driver's socket, but the sockets that
// appeared during a login are that connection's. Empty where the platform
// cannot list them (the cut then falls back to ending the run).
#include <vector>

namespace varlo::db::odbc {

struct SocketProceso {
  int descriptor = -1;
  unsigned long long inodo = 0;  // tells a reused descriptor from the original
  bool operator==(const SocketProceso&) const = default;
};

std::vector<SocketProceso> SocketsAbiertos();
// The sockets of `ahora` that `antes` did not hold.
std::vector<SocketProceso> SocketsNuevos(const std::vector<SocketProceso>& antes);
// Shuts both directions of each socket still open as it was: a call blocked
// on it returns at once with the connection closed.
void CortaSockets(const std::vector<SocketProceso>& sockets) noexcept;

}  // namespace varlo::db::odbc
