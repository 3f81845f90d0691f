#include "common/ArchivoRegular.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/ErrorVarlo.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace varlo {

namespace {
[[noreturn]] void FallaApertura(int error, const std::string& ruta) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      LanzaErrorEn(errores::ArchivoNoEncontrado, ruta);
    case EACCES:
    case EPERM:
      LanzaErrorEn(errores::PermisoDenegado, ruta);
    default:
      LanzaErrorEn(errores::ErrorAcceso, ruta + ": " + std::generic_category().message(error));
  }
}
}  // namespace

ArchivoC AbreArchivoRegular(const std::string& ruta) {
#ifdef _WIN32
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::u8path(ruta), ec))
    LanzaErrorEn(errores::ArchivoNoEncontrado, ruta);
  ArchivoC f(std::fopen(ruta.c_str(), "rb"));
  if (!f) FallaApertura(errno, ruta);
  return f;
#else
  // The kind of file is asked before opening it: opening a device can act by itself.
  struct stat estado {};
  if (::stat(ruta.c_str(), &estado) != 0) FallaApertura(errno, ruta);
  if (!S_ISREG(estado.st_mode)) LanzaErrorEn(errores::ArchivoNoEncontrado, ruta);
  // Non-blocking, in case the name became a pipe meanwhile: the open must not
  // wait for a writer. The descriptor is checked again once open.
  const int fd = ::open(ruta.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) FallaApertura(errno, ruta);
  if (::fstat(fd, &estado) != 0 || !S_ISREG(estado.st_mode)) {
    ::close(fd);
    LanzaErrorEn(errores::ArchivoNoEncontrado, ruta);
  }
  const int banderas = ::fcntl(fd, F_GETFL);
  if (banderas != -1) ::fcntl(fd, F_SETFL, banderas & ~O_NONBLOCK);
  ArchivoC f(::fdopen(fd, "rb"));
  if (!f) {
    const int error = errno;
    ::close(fd);
    FallaApertura(error, ruta);
  }
  return f;
#endif
}

ArchivoC CreaTemporalJunto(const std::string& destino, std::string& ruta) {
  for (int n = 0; n < 100; ++n) {
    ruta = destino + "." + std::to_string(n) + ".tmp";
    errno = 0;
    ArchivoC f(std::fopen(ruta.c_str(), "wbx"));
    if (f || errno != EEXIST) return f;
  }
  errno = EEXIST;
  return nullptr;
}

}  // namespace varlo
