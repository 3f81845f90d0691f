#include "common/Plataforma.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "common/ErrorSistema.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef VARLODI_BINDIR
#define VARLODI_BINDIR ""
#endif

namespace fs = std::filesystem;

namespace varlo {

namespace {
std::mutex gMutex;
std::string gCarpeta;

std::string Variable(const char* nombre) {
  const char* v = std::getenv(nombre);
  return v ? v : "";
}

std::string Absoluta(const std::string& ruta) {
  if (ruta.empty()) return ruta;
  std::error_code ec;
  fs::path p = fs::absolute(ruta, ec);
  return ec ? ruta : p.string();
}

bool SePuedeEscribir(const std::string& carpeta) {
#ifdef _WIN32
  std::error_code ec;
  return fs::is_directory(carpeta, ec);
#else
  return access(carpeta.c_str(), W_OK | X_OK) == 0;
#endif
}
}  // namespace

FuentesCarpeta FuentesDelProceso(const std::string& opcion) {
  FuentesCarpeta f;
  f.opcion = Absoluta(opcion);
  f.variable = Absoluta(Variable("VARLODI_CARPETA"));
  f.directorioEstado = Variable("STATE_DIRECTORY");
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) f.carpetaEjecutable = exe.parent_path().string();
  // The installed folder as the system resolves it (/bin may be a link to /usr/bin).
  if (*VARLODI_BINDIR) f.carpetaInstalacion = fs::weakly_canonical(VARLODI_BINDIR, ec).string();
  f.xdgStateHome = Variable("XDG_STATE_HOME");
  f.home = Variable("HOME");
#ifndef _WIN32
  f.root = geteuid() == 0;
  if (f.home.empty())
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) f.home = pw->pw_dir;
#endif
  f.sePuedeEscribir = SePuedeEscribir;
  return f;
}

std::string CarpetaPrograma() {
  std::lock_guard<std::mutex> l(gMutex);
  if (gCarpeta.empty()) {
    gCarpeta = EligeCarpetaPrograma(FuentesDelProceso(""));
    if (gCarpeta.empty()) gCarpeta = fs::current_path().string();
  }
  return gCarpeta;
}

void EstableceCarpetaPrograma(std::string carpeta) {
  std::lock_guard<std::mutex> l(gMutex);
  while (carpeta.size() > 1 && carpeta.back() == kSeparador) carpeta.pop_back();
  gCarpeta = std::move(carpeta);
}

std::string PreparaCarpeta(const std::string& carpeta) {
  std::error_code ec;
  fs::create_directories(carpeta, ec);
  if (ec) return TextoErrorSistema(ec.value());
#ifndef _WIN32
  if (access(carpeta.c_str(), W_OK | X_OK) != 0) return TextoErrorSistema(errno);
#endif
  return "";
}

std::string MotivoNoLegible(const std::string& ruta) {
#ifdef _WIN32
  std::error_code ec;
  if (!fs::is_regular_file(ruta, ec)) return ec ? ec.message() : "no es un archivo regular";
  return "";
#else
  struct stat st {};
  if (stat(ruta.c_str(), &st) != 0) return TextoErrorSistema(errno);
  if (S_ISDIR(st.st_mode)) return TextoErrorSistema(EISDIR);
  if (!S_ISREG(st.st_mode)) return "No es un archivo regular";
  int fd = open(ruta.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return TextoErrorSistema(errno);
  close(fd);
  return "";
#endif
}

void AbreDescriptoresEstandar() {
#ifndef _WIN32
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int nuevo = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (nuevo >= 0 && nuevo != fd) {
      dup2(nuevo, fd);
      close(nuevo);
    }
  }
#endif
}

std::string CarpetaTemporales() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && *tmp != '\0') return tmp;
  std::error_code ec;
  const std::filesystem::path sistema = std::filesystem::temp_directory_path(ec);
  return ec ? std::string("/tmp") : sistema.string();
}

std::string UneRuta(const std::string& carpeta, const std::string& nombre) {
  if (carpeta.empty()) return nombre;
  if (carpeta.back() == kSeparador) return carpeta + nombre;
  return carpeta + kSeparador + nombre;
}

std::string CarpetaPadre(const std::string& ruta) {
  std::size_t p = ruta.find_last_of(kSeparador == '/' ? "/" : "\\/");
  if (p == std::string::npos) return "";
  if (p == 0) return ruta.substr(0, 1);
  return ruta.substr(0, p);
}

bool EntradaEsTerminal() {
#ifdef _WIN32
  return false;
#else
  return isatty(STDIN_FILENO) == 1;
#endif
}

bool ErroresEsTerminal() {
#ifdef _WIN32
  return false;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

bool ReemplazaAtomico(const std::string& temporal, const std::string& destino) {
  std::error_code ec;
  std::filesystem::rename(temporal, destino, ec);
  return !ec;
}

bool EscribeDeUnaVez(std::FILE* f, std::string_view datos) {
#ifdef _WIN32
  return std::fwrite(datos.data(), 1, datos.size(), f) == datos.size() && std::fflush(f) == 0;
#else
  const int fd = fileno(f);
  struct stat antes {};
  const bool medido = ::fstat(fd, &antes) == 0 && S_ISREG(antes.st_mode);
  for (std::string_view resto = datos; !resto.empty();) {
    const ssize_t n = ::write(fd, resto.data(), resto.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A full volume takes the first part and refuses the rest: that part
      // goes too, so that no line is left cut short.
      const int error = errno;
      if (medido && resto.size() < datos.size() && ::ftruncate(fd, antes.st_size) == 0)
        ::lseek(fd, antes.st_size, SEEK_SET);
      errno = error;
      return false;
    }
    resto.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
#endif
}

int LlevaADisco(std::FILE* f) {
  errno = 0;
  if (std::fflush(f) != 0) return errno != 0 ? errno : EIO;
#ifndef _WIN32
  if (fsync(fileno(f)) != 0) return errno;
#endif
  return 0;
}

void LlevaCarpetaADisco(const std::string& carpeta) {
#ifndef _WIN32
  const int fd = open(carpeta.empty() ? "." : carpeta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)fsync(fd);
  close(fd);
#else
  (void)carpeta;
#endif
}

void SoloPropietario(const std::string& ruta) {
  std::error_code ec;
  std::filesystem::permissions(
      ruta, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      std::filesystem::perm_options::replace, ec);
}

}  // namespace varlo
