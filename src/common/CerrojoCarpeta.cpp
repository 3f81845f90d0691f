#include "common/CerrojoCarpeta.h"

#include <cerrno>

#include "common/ErrorSistema.h"

// POSIX: a Windows build replaces this file (LockFileEx).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace varlo {

CerrojoCarpeta::CerrojoCarpeta(const std::string& archivo) {
  fd_ = open(archivo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) throw ErrorDeSistema(errno, archivo);
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    tomado_ = true;
  } else if (errno != EWOULDBLOCK) {
    int numero = errno;
    close(fd_);
    fd_ = -1;
    throw ErrorDeSistema(numero, archivo);
  }
}

CerrojoCarpeta::~CerrojoCarpeta() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace varlo
