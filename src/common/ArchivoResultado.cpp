#include "common/ArchivoResultado.h"

#include <filesystem>
#include <string_view>

#include "common/ErrorVarlo.h"
#include "common/Kelto_GEN_Trans.h"
#include "common/Plataforma.h"

namespace varlo {

void ArchivoResultado::Inicia(const std::string& ruta, const Codificacion& codificacion) {
  Kelto_GEN_Trans().Escribe_Txt(ruta, "", true, true, false);
  Continua(ruta, codificacion);
}

void ArchivoResultado::Continua(const std::string& ruta, const Codificacion& codificacion) {
  Cierra();
  pendiente_.clear();
  Kelto_GEN_Trans().Escribe_Txt(ruta, "", false, true, false);
  archivo_.reset(std::fopen(ruta.c_str(), "ab"));
  if (!archivo_) LanzaErrorEn(errores::ErrorAcceso, ruta);
  ruta_ = ruta;
  codificacion_ = codificacion;
  std::error_code ec;
  enBlanco_ = std::filesystem::file_size(ruta, ec) == 0 && !ec;
}

namespace {
// Past this much waiting, the lines are written without waiting for Vacia.
constexpr std::size_t kMaximoPendiente = 1 << 20;
}  // namespace

ArchivoResultado::~ArchivoResultado() {
  try {
    Vacia();
  } catch (...) {
    // closed on an error path: the error being handled is the one reported
  }
}

void ArchivoResultado::Escribe(const std::string& linea) {
  if (!archivo_) LanzaError(errores::NombreArchivoIncorrecto);
  // the line end too is in the file's encoding (two bytes each in UTF-16);
  // an encoding with shift states converts the line and its end together
  const Codificacion::Tipo tipo = codificacion_.TipoCodificacion();
  if (tipo == Codificacion::Tipo::Iconv) {
    pendiente_ += ParaArchivo(linea + "\r\n", codificacion_);
  } else {
    // an ASCII line (most are) and its CR LF are the same bytes in both
    if (tipo == Codificacion::Tipo::Utf8 || SoloAscii(linea))
      pendiente_ += linea;
    else
      AnadeParaArchivo(pendiente_, linea, codificacion_);
    pendiente_ += "\r\n";
  }
  if (pendiente_.size() >= kMaximoPendiente) Vacia();
}

void ArchivoResultado::Vacia() {
  if (pendiente_.empty() || !archivo_) return;
  if (enBlanco_) {
    // a file in UTF-16 starts with its mark, so that it opens as what it is
    pendiente_.insert(0, MarcaDeOrden(codificacion_));
    enBlanco_ = false;
  }
  // One system call: the C library's own writes would cut the lines where
  // its buffer ends, and a kill between two of them would leave half a
  // line, which reads as another line (another key) reported.
  const bool escrito = EscribeDeUnaVez(archivo_.get(), pendiente_);
  pendiente_.clear();
  if (!escrito) LanzaErrorEn(errores::DiscoLleno, ruta_);
}

void ArchivoResultado::CierraEnDisco() {
  if (archivo_) {
    try {
      Vacia();
    } catch (...) {
      archivo_.reset();
      throw;
    }
    const int error = LlevaADisco(archivo_.get());
    // fclose flushes nothing more, but it too can report the volume full
    const bool cerrado = std::fclose(archivo_.release()) == 0;
    if (error != 0 || !cerrado) LanzaErrorEn(errores::DiscoLleno, ruta_);
  }
}

void ArchivoResultado::Cierra() {
  try {
    Vacia();
  } catch (...) {
    archivo_.reset();
    throw;
  }
  archivo_.reset();
}

}  // namespace varlo
