#include "common/LectorLineas.h"

#include "common/ErrorVarlo.h"

namespace varlo {

LectorLineas::LectorLineas(const std::string& ruta) : archivo_(std::fopen(ruta.c_str(), "rb")) {
  if (!archivo_) LanzaErrorEn(errores::ArchivoNoEncontrado, ruta);
  unsigned char bom[3] = {0, 0, 0};
  std::size_t n = std::fread(bom, 1, 3, archivo_.get());
  if (n == 3 && bom[0] == 0xEF && bom[1] == 0xBB && bom[2] == 0xBF) {
    codificacion_ = Codificacion::Utf8;
  } else {
    std::rewind(archivo_.get());
  }
}

bool LectorLineas::AtEndOfStream() {
  if (!archivo_) return true;
  int c = std::getc(archivo_.get());
  if (c == EOF) return true;
  std::ungetc(c, archivo_.get());
  return false;
}

std::string LectorLineas::ReadLine() {
  bruto_.clear();
  if (!archivo_) return bruto_;
  std::FILE* f = archivo_.get();
  int c;
  while ((c = std::getc(f)) != EOF) {
    if (c == '\n') break;
    bruto_ += static_cast<char>(c);
  }
  if (!bruto_.empty() && bruto_.back() == '\r') bruto_.pop_back();
  return DeArchivo(bruto_, codificacion_);
}

void LectorLineas::Close() {
  archivo_.reset();
}

long LectorLineas::CuentaLineas(const std::string& ruta) {
  LectorLineas l(ruta);
  std::FILE* f = l.archivo_.get();
  long lineas = 0;
  int c, anterior = '\n';
  char buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    for (std::size_t i = 0; i < n; ++i) {
      c = static_cast<unsigned char>(buf[i]);
      if (c == '\n') ++lineas;
      anterior = c;
    }
  }
  if (anterior != '\n') ++lineas;  // a last line without its line end
  return lineas;
}

}  // namespace varlo
