#pragma once
// Opening a file that the engines read: only a regular file is opened, and
// nothing on the way waits on a pipe or a device. The few system calls this
// needs live here, beside Plataforma, so a Windows build touches one place.
#include <cstdio>
#include <memory>
#include <string>

namespace varlo {

struct CierraArchivoC {
  void operator()(std::FILE* f) const noexcept {
    if (f) std::fclose(f);
  }
};
using ArchivoC = std::unique_ptr<std::FILE, CierraArchivoC>;

// Opens `ruta` for reading bytes. A missing file and anything that is not a
// regular file (a folder, a pipe, a device) are error 53, like a missing
// file; a file that exists but cannot be opened raises the system's reason:
// 70 when permission is denied, 75 with the system's text otherwise.
ArchivoC AbreArchivoRegular(const std::string& ruta);

// A new file beside `destino` for its next version, to be renamed over it:
// the first free name of "<destino>.<n>.tmp", created exclusively, so that a
// name already there (another run's, a link planted there) is never written
// through. Null with errno set when none could be created.
ArchivoC CreaTemporalJunto(const std::string& destino, std::string& ruta);

}  // namespace varlo
