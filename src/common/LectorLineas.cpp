#include "common/LectorLineas.h"

#include <cstring>

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

bool LectorLineas::Rellena() {
  pos_ = fin_ = 0;
  if (!archivo_) return false;
  if (bufer_.empty()) bufer_.resize(1 << 16);
  fin_ = std::fread(bufer_.data(), 1, bufer_.size(), archivo_.get());
  return fin_ > 0;
}

bool LectorLineas::AtEndOfStream() {
  return pos_ == fin_ && !Rellena();
}

std::string LectorLineas::ReadLine() {
  bruto_.clear();
  if (!archivo_) return bruto_;
  while (pos_ < fin_ || Rellena()) {
    const char* inicio = bufer_.data() + pos_;
    const std::size_t disponibles = fin_ - pos_;
    const auto* salto = static_cast<const char*>(std::memchr(inicio, '\n', disponibles));
    if (salto) {
      bruto_.append(inicio, static_cast<std::size_t>(salto - inicio));
      pos_ += static_cast<std::size_t>(salto - inicio) + 1;
      break;
    }
    bruto_.append(inicio, disponibles);
    pos_ = fin_;
  }
  if (!bruto_.empty() && bruto_.back() == '\r') bruto_.pop_back();
  return DeArchivo(bruto_, codificacion_);
}

void LectorLineas::Close() {
  archivo_.reset();
  pos_ = fin_ = 0;
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
