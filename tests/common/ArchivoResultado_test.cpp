// A result file gets the lines of a batch in one write, whole, when the
// engine says the batch was reported; nothing waiting is lost on close.
#include "common/ArchivoResultado.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "common/ErrorVarlo.h"
#include "support/CarpetaTemporal.h"
#include "support/IconvComando.h"

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

// A volume that fills in the middle of a batch's lines takes none of them:
// half a line would read as another line reported. What the file held stays,
// and the error says which file.
TEST(ArchivoResultado, UnVolumenLlenoNoDejaMediaLinea) {
  prueba::CarpetaTemporal carpeta;
  const std::string ruta = carpeta.Archivo("T_Ok.txt");
  ArchivoResultado a;
  a.Inicia(ruta, Codificacion::Ansi);
  a.Escribe("1,uno");
  a.Vacia();
  // The file size limit fills the volume for this process alone.
  struct rlimit limite {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limite), 0);
  const auto senal = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lleno = limite;
  lleno.rlim_cur = 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lleno), 0);
  a.Escribe("2,dos");
  a.Escribe("3,una línea que no cabe");
  std::string error;
  try {
    a.Vacia();
  } catch (const ErrorVarlo& e) {
    error = e.Descripcion();
  }
  setrlimit(RLIMIT_FSIZE, &limite);
  std::signal(SIGXFSZ, senal);
  EXPECT_EQ(error, "Disco lleno (" + ruta + ")");
  EXPECT_EQ(prueba::LeeBytes(ruta), "1,uno\r\n");
  // the file goes on from there once there is room
  a.Escribe("4,cuatro");
  a.Cierra();
  EXPECT_EQ(prueba::LeeBytes(ruta), "1,uno\r\n4,cuatro\r\n");
}

// A UTF-16 result file starts with its mark once, before its first line:
// never in the middle of a file that is continued, nor alone in an empty one.
TEST(ArchivoResultado, LaMarcaDeUtf16VaUnaVezAlPrincipio) {
  prueba::CarpetaTemporal carpeta;
  const std::string ruta = carpeta.Archivo("T_Er.txt");
  const Codificacion utf16 = CodificacionPorNombre("UTF-16LE")->ConMarca(true);
  {
    ArchivoResultado a;
    a.Inicia(ruta, Codificacion::Ansi);
    a.EstableceCodificacion(utf16);
    a.Vacia();
    EXPECT_EQ(prueba::LeeBytes(ruta), "");
    a.Escribe("ñ");
  }
  {
    ArchivoResultado a;
    a.Continua(ruta, utf16);
    a.Escribe("Ω");
  }
  EXPECT_EQ(prueba::LeeBytes(ruta), prueba::ConIconv("\xEF\xBB\xBFñ\r\nΩ\r\n", "UTF-16LE"));
}

// ASCII lines go in as they are, checked a block of bytes at a time: a
// character outside ASCII anywhere in a line (first block, a middle one,
// the bytes after the last whole block) still has the line converted.
TEST(ArchivoResultado, UnCaracterFueraDeAsciiEnCualquierPosicionSeConvierte) {
  prueba::CarpetaTemporal carpeta;
  const std::string ruta = carpeta.Archivo("T_Ok.txt");
  std::string lineas;
  {
    ArchivoResultado a;
    a.Inicia(ruta, Codificacion::Ansi);
    for (std::size_t largo : {1, 7, 8, 9, 16, 23, 24, 25})
      for (std::size_t pos = 0; pos < largo; ++pos) {
        std::string linea(largo - 1, 'a');
        linea.insert(pos, "é");
        a.Escribe(linea);
        lineas += linea + "\r\n";
        a.Escribe(std::string(largo, 'z'));
        lineas += std::string(largo, 'z') + "\r\n";
      }
    a.Escribe("");
    lineas += "\r\n";
  }
  EXPECT_EQ(prueba::LeeBytes(ruta), prueba::ConIconv(lineas, "WINDOWS-1252"));
}

}  // namespace
}  // namespace varlo
