#include "db/odbc/SocketsProceso.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef __linux__
#include <sys/socket.h>
#include <sys/stat.h>
#endif

namespace varlo::db::odbc {

#ifdef __linux__
std::vector<SocketProceso> SocketsAbiertos() {
  std::vector<SocketProceso> sockets;
  std::error_code ec;
  for (std::filesystem::directory_iterator it("/proc/self/fd", ec), fin; !ec && it != fin;
       it.increment(ec)) {
    std::error_code ecDestino;
    const std::string destino = std::filesystem::read_symlink(it->path(), ecDestino).string();
    // "socket:[INODE]"
    if (ecDestino || destino.rfind("socket:[", 0) != 0) continue;
    try {
      SocketProceso s;
      s.descriptor = std::stoi(it->path().filename().string());
      s.inodo = std::stoull(destino.substr(8));
      sockets.push_back(s);
    } catch (...) {
      // not a descriptor's name: nothing to cut
    }
  }
  return sockets;
}

void CortaSockets(const std::vector<SocketProceso>& sockets) noexcept {
  for (const SocketProceso& s : sockets) {
    struct stat st {};
    if (fstat(s.descriptor, &st) != 0 || !S_ISSOCK(st.st_mode) ||
        static_cast<unsigned long long>(st.st_ino) != s.inodo)
      continue;
    (void)shutdown(s.descriptor, SHUT_RDWR);
  }
}
#else
std::vector<SocketProceso> SocketsAbiertos() {
  return {};
}
void CortaSockets(const std::vector<SocketProceso>&) noexcept {}
#endif

std::vector<SocketProceso> SocketsNuevos(const std::vector<SocketProceso>& antes) {
  std::vector<SocketProceso> nuevos;
  for (const SocketProceso& s : SocketsAbiertos())
    if (std::find(antes.begin(), antes.end(), s) == antes.end()) nuevos.push_back(s);
  return nuevos;
}

}  // namespace varlo::db::odbc
