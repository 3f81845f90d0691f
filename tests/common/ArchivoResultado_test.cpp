// A result file gets the lines of a batch in one write, whole, when the
// engine says the batch was reported; nothing waiting is lost on close.
#include "common/ArchivoResultado.h"

#include <gtest/gtest.h>

#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

TEST(ArchivoResultado, LasLineasDeUnLoteLleganJuntasYEnteras) {
  prueba::CarpetaTemporal carpeta;
  const std::string ruta = carpeta.Archivo("T_Ok.txt");
  {
    ArchivoResultado a;
    a.Inicia(ruta, Codificacion::Ansi);
    a.Escribe("uno");
    a.Escribe("dós");
    EXPECT_EQ(prueba::LeeBytes(ruta), "");  // the batch is not reported yet
    a.Vacia();
    EXPECT_EQ(prueba::LeeBytes(ruta), "uno\r\nd\xF3s\r\n");
    a.Escribe("tres");
    a.Cierra();  // closing writes what waits
    EXPECT_EQ(prueba::LeeBytes(ruta), "uno\r\nd\xF3s\r\ntres\r\n");
  }
  {
    ArchivoResultado a;
    a.Continua(ruta, Codificacion::Utf8);
    a.Escribe("cuatro");
  }  // and so does an object that goes away on an error path
  EXPECT_EQ(prueba::LeeBytes(ruta), "uno\r\nd\xF3s\r\ntres\r\ncuatro\r\n");
}

}  // namespace
}  // namespace varlo
