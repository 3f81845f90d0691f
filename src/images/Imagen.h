#pragma once
// A decoded picture (the "picture object" of the image services).
#include <vector>

namespace varlo {
struct Imagen {
  int ancho = 0;
  int alto = 0;
  int canales = 0;
  std::vector<unsigned char> pixeles;
};
}  // namespace varlo
