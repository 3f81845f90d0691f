#include "common/ArchivoResultado.h"

#include "common/ErrorVarlo.h"
#include "common/Kelto_GEN_Trans.h"

namespace varlo {

void ArchivoResultado::Inicia(const std::string& ruta, Codificacion codificacion) {
  Kelto_GEN_Trans().Escribe_Txt(ruta, "", true, true, false);
  Continua(ruta, codificacion);
}

void ArchivoResultado::Continua(const std::string& ruta, Codificacion codificacion) {
  Cierra();
  Kelto_GEN_Trans().Escribe_Txt(ruta, "", false, true, false);
  archivo_.reset(std::fopen(ruta.c_str(), "ab"));
  if (!archivo_) LanzaErrorEn(errores::ErrorAcceso, ruta);
  ruta_ = ruta;
  codificacion_ = codificacion;
}

void ArchivoResultado::Escribe(const std::string& linea) {
  if (!archivo_) LanzaError(errores::NombreArchivoIncorrecto);
  std::string bytes = ParaArchivo(linea, codificacion_);
  bytes += "\r\n";
  if (std::fwrite(bytes.data(), 1, bytes.size(), archivo_.get()) != bytes.size() ||
      std::fflush(archivo_.get()) != 0)
    LanzaErrorEn(errores::DiscoLleno, ruta_);
}

void ArchivoResultado::Cierra() {
  archivo_.reset();
}

}  // namespace varlo
