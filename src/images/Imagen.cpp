#include "images/Imagen.h"

#include <filesystem>
#include <memory>

#include "common/ErrorVarlo.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"
#pragma GCC diagnostic pop

namespace varlo {

namespace {

struct LiberaPixeles {
  void operator()(stbi_uc* p) const { stbi_image_free(p); }
};
}  // namespace

Imagen CargaImagen(const std::string& ruta) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(ruta, ec)) LanzaErrorEn(errores::ArchivoNoEncontrado, ruta);
  int ancho = 0, alto = 0, canales = 0;
  std::unique_ptr<stbi_uc, LiberaPixeles> datos(
      stbi_load(ruta.c_str(), &ancho, &alto, &canales, 0));
  if (!datos) LanzaError(errores::ImagenNoValida);
  Imagen r;
  r.ancho = ancho;
  r.alto = alto;
  r.canales = canales;
  const std::size_t n = static_cast<std::size_t>(ancho) * static_cast<std::size_t>(alto) *
                        static_cast<std::size_t>(canales);
  r.pixeles.assign(datos.get(), datos.get() + n);
  return r;
}

void GuardaImagenBmp(const Imagen& imagen, const std::string& ruta) {
  const bool medidasValidas = imagen.ancho > 0 && imagen.alto > 0 && imagen.canales >= 1 &&
                              imagen.canales <= 4 &&
                              imagen.pixeles.size() == static_cast<std::size_t>(imagen.ancho) *
                                                           static_cast<std::size_t>(imagen.alto) *
                                                           static_cast<std::size_t>(imagen.canales);
  if (!medidasValidas) LanzaError(errores::ImagenNoValida);
  if (stbi_write_bmp(ruta.c_str(), imagen.ancho, imagen.alto, imagen.canales,
                     imagen.pixeles.data()) == 0)
    LanzaErrorEn(errores::ErrorAcceso, ruta);
}

}  // namespace varlo
