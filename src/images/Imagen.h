#pragma once
// A decoded picture (the "picture object" of the image services), and the
// loader and saver that turn picture files into one and back.
#include <string>
#include <vector>

namespace varlo {

struct Imagen {
  int ancho = 0;
  int alto = 0;
  int canales = 0;                     // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
  std::vector<unsigned char> pixeles;  // rows top to bottom, ancho * alto * canales bytes
};

// Decodes a JPEG, PNG, BMP, GIF, TGA, PSD, PIC or PNM file, keeping its
// channels. Error 53 when the file is missing, 481 when it is not a picture
// the loader accepts.
Imagen CargaImagen(const std::string& ruta);

// Writes the picture as a BMP file. Error 481 for a picture whose sizes do
// not match its pixels, 75 when the file cannot be written.
void GuardaImagenBmp(const Imagen& imagen, const std::string& ruta);

}  // namespace varlo
