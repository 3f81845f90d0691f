// Source files people actually have: exports in UTF-8 without a byte-order
// mark, in UTF-16 or an older code page, and a CSV header line, named by
// "Codificacion" and "LineasEncabezado" or found in the file itself.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"
#include "support/IconvComando.h"

namespace varlo::prueba {
namespace {

TEST(OpcionesFuente, CodificacionDesconocidaNoLeeLaFuente) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos("Codificacion=EBCDIC\r\n"));
  e.Fuente("Turno.txt", {"1,Uno"});
  EXPECT_EQ(e.Importa(), 4);
  // a name iconv does not know either
  EXPECT_EQ(e.Log()[1],
            "Codificación no soportada (EBCDIC): use UTF-8, Windows-1252 u otro nombre que "
            "conozca iconv (ISO-8859-1, CP850, UTF-16...)");
  EXPECT_EQ(e.Lee("Turno", {"ID"}), Filas{});
}

// The same text, written by iconv in each encoding, imports into the same
// rows, counts its lines as text, and leaves result files in its encoding.
TEST(OpcionesFuente, CadaCodificacionImportaLasMismasFilas) {
  const std::string texto = "1,Begoña Núñez\r\n2,José Çelik\r\n3,Über Öst\r\n";
  struct Caso {
    std::string iconv;
    std::string clave;  // "" for none: the mark or the bytes decide
  };
  for (const Caso& c :
       {Caso{"ISO-8859-1", "ISO-8859-1"}, Caso{"ISO-8859-15", "iso-8859-15"},
        Caso{"ISO-8859-1", "latin1"}, Caso{"CP850", "CP850"}, Caso{"CP437", "CP437"},
        Caso{"UTF-16", ""}, Caso{"UTF-16", "UTF-16"}, Caso{"UTF-16LE", "UTF-16LE"},
        Caso{"UTF-16BE", "UTF-16BE"}, Caso{"UTF-16LE", "UTF-16"}, Caso{"UTF-8", ""},
        Caso{"UTF-8", "UTF-8"}, Caso{"WINDOWS-1252", ""}, Caso{"WINDOWS-1252", "Windows-1252"}}) {
    SCOPED_TRACE(c.iconv + " " + c.clave);
    EntornoImportacion e;
    e.Base().Execute(kCreaTurno);
    e.Definiciones(e.Turnos(c.clave.empty() ? "" : "Codificacion=" + c.clave + "\r\n"));
    const std::string fuente = ConIconv(texto, c.iconv);
    EscribeBytes(e.Archivo("Turno.txt"), fuente);

    EXPECT_EQ(e.Importa(), 0);
    EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}),
              (Filas{{"1", "Begoña Núñez"}, {"2", "José Çelik"}, {"3", "Über Öst"}}));
    // lines of the text, not line-end bytes: the progress maximum and the summary
    EXPECT_EQ(e.Resumenes(), V{"Resumen Turno: 3 leídas, 3 agregadas, 0 actualizadas, 0 "
                               "rechazadas, 0 sin procesar"});
    ASSERT_FALSE(e.ventana->maximos.empty());
    EXPECT_EQ(e.ventana->maximos.back(), 3);
    // UTF-16 results start with a mark, also when their source has none
    const bool sinMarca = c.iconv == "UTF-16LE" || c.iconv == "UTF-16BE";
    EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Ok.txt")),
              sinMarca ? ConIconv("\xEF\xBB\xBF" + texto, c.iconv) : fuente);
  }
}

// UTF-16 without a mark or a key holds NUL bytes as 8-bit text: the table is
// refused before anything is stored, and the log says which key to set.
TEST(OpcionesFuente, Utf16SinMarcaNiClaveNoSeGuarda) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  EscribeBytes(e.Archivo("Turno.txt"), ConIconv("1,Begoña\r\n2,Dos\r\n", "UTF-16LE"));
  EXPECT_EQ(e.Importa(), 4);
  EXPECT_EQ(e.Log(),
            (V{">Inicio de importación",
               "[VarloDI] Error: 13 El archivo origen tiene bytes NUL: parece UTF-16LE "
               "sin marca de orden de bytes; indique Codificacion=UTF-16LE en su sección (" +
                   e.Archivo("Turno.txt") + ")",
               "Fin de importación"}));
  EXPECT_EQ(e.Lee("Turno", {"ID"}), Filas{});
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Ok.txt")), "");
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Er.txt")), "");
}

// A byte Windows-1252 does not define rejects its record; the error file
// gets the line as it was read.
TEST(OpcionesFuente, ByteIndefinidoEnWindows1252RechazaSuRegistro) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  EscribeBytes(e.Archivo("Turno.txt"),
               "1,Pe\xF1"
               "a\r\n2,Bego\x81"
               "a\r\n");
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "Peña"}}));
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Er.txt")),
            "2,Bego\x81"
            "a(La l\xEDnea no es texto Windows-1252 v\xE1lido, Columna:0)\r\n");
}

}  // namespace
}  // namespace varlo::prueba
