#include "common/LectorLineas.h"

#include "common/ErrorVarlo.h"
#include "common/Texto.h"

namespace varlo {

namespace {
// One reader per file, on one thread: the stream's lock is not needed, and
// once a process has threads (the window) a locked getc per byte is slow.
inline int LeeCaracter(std::FILE* f) {
#ifdef _WIN32
  return _getc_nolock(f);
#else
  return getc_unlocked(f);
#endif
}
}  // namespace

namespace {
// What is kept of a line past the limit: enough to find it in the source.
constexpr std::int64_t kCaracteresDeMuestra = 100;
}  // namespace

LectorLineas::LectorLineas(const std::string& ruta)
    : ruta_(ruta), archivo_(AbreArchivoRegular(ruta)) {
  unsigned char bom[3] = {0, 0, 0};
  std::size_t n = std::fread(bom, 1, 3, archivo_.get());
  CompruebaLectura();
  if (n == 3 && bom[0] == 0xEF && bom[1] == 0xBB && bom[2] == 0xBF) {
    codificacion_ = Codificacion::Utf8;
    conMarca_ = true;
  } else {
    std::rewind(archivo_.get());
  }
}

void LectorLineas::CompruebaLectura() const {
  if (std::ferror(archivo_.get())) LanzaErrorEn(errores::ErrorEntradaSalida, ruta_);
}

bool LectorLineas::AtEndOfStream() {
  if (!archivo_) return true;
  int c = LeeCaracter(archivo_.get());
  if (c == EOF) {
    CompruebaLectura();
    return true;
  }
  std::ungetc(c, archivo_.get());
  return false;
}

std::string LectorLineas::ReadLine() {
  bruto_.clear();
  defecto_ = Defecto::Ninguno;
  finDeLinea_ = "";
  if (!archivo_) return bruto_;
  ++numeroLinea_;
  std::FILE* f = archivo_.get();
  bool largo = false;
  int c;
  while ((c = LeeCaracter(f)) != EOF) {
    if (c == '\n') {
      finDeLinea_ = "\n";
      break;
    }
    if (c == '\r') {
      int siguiente = LeeCaracter(f);
      if (siguiente != '\n' && siguiente != EOF) std::ungetc(siguiente, f);
      finDeLinea_ = siguiente == '\n' ? "\r\n" : "\r";
      break;
    }
    // past the limit the rest of the line is skipped, never held
    if (bruto_.size() < kLargoMaximoLinea)
      bruto_ += static_cast<char>(c);
    else
      largo = true;
  }
  CompruebaLectura();
  if (largo) {
    defecto_ = Defecto::Largo;
    std::string muestra = bruto_.substr(0, codificacion_ == Codificacion::Utf8
                                               ? AvanzaCaracteres(bruto_, 0, kCaracteresDeMuestra)
                                               : static_cast<std::size_t>(kCaracteresDeMuestra));
    return (EsTextoValido(muestra, codificacion_) ? DeArchivo(muestra, codificacion_) : muestra) +
           "...";
  }
  if (!EsTextoValido(bruto_, codificacion_)) {
    defecto_ = Defecto::Codificacion;
    return bruto_;
  }
  return DeArchivo(bruto_, codificacion_);
}

void LectorLineas::CompruebaLinea() const {
  switch (defecto_) {
    case Defecto::Ninguno:
      return;
    case Defecto::Codificacion:
      LanzaError(errores::TiposNoCoinciden, std::string("La línea no es texto ") +
                                                NombreCodificacion(codificacion_) + " válido");
    case Defecto::Largo:
      LanzaError(errores::Desbordamiento, "La línea " + std::to_string(numeroLinea_) +
                                              " pasa del largo máximo de " +
                                              std::to_string(kLargoMaximoLinea) + " bytes");
  }
}

void LectorLineas::Close() {
  archivo_.reset();
}

long LectorLineas::CuentaLineas(const std::string& ruta) {
  LectorLineas l(ruta);
  std::FILE* f = l.archivo_.get();
  long lineas = 0;
  int anterior = '\n';
  char buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    for (std::size_t i = 0; i < n; ++i) {
      const int c = static_cast<unsigned char>(buf[i]);
      // CR LF is one line end, CR or LF alone one each
      if (c == '\r' || (c == '\n' && anterior != '\r')) ++lineas;
      anterior = c;
    }
  }
  l.CompruebaLectura();
  if (anterior != '\n' && anterior != '\r') ++lineas;  // a last line without its line end
  return lineas;
}

}  // namespace varlo
