// Source files people actually have: exports in UTF-8 without a byte-order
// mark, in UTF-16 or an older code page, a CSV header line, and comma files
// saved by a spreadsheet, named by "Codificacion", "LineasEncabezado" and
// "Comillas" or found in the file itself.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"
#include "support/IconvComando.h"

namespace varlo::prueba {
namespace {

// An option that cannot work stops its table before any record, with the
// reason in the log: an encoding iconv does not know, UTF-16 without a mark
// or a key (NUL bytes as 8-bit text), a quote that is not one character or
// is part of the separator.
TEST(OpcionesFuente, OpcionQueNoPuedeServirDetieneLaTablaAntesDeUnRegistro) {
  struct Caso {
    std::string clave, bytes, linea;
  };
  const std::string utf16 = ConIconv("1,Begoña\r\n2,Dos\r\n", "UTF-16LE");
  for (const Caso& c :
       {Caso{"Codificacion=EBCDIC\r\n", "1,Uno\r\n",
             "Codificación no soportada (EBCDIC): use UTF-8, Windows-1252 u otro nombre que "
             "conozca iconv (ISO-8859-1, CP850, UTF-16...)"},
        Caso{"", utf16,
             "[VarloDI] Error: 13 El archivo origen tiene bytes NUL: parece UTF-16LE "
             "sin marca de orden de bytes; indique Codificacion=UTF-16LE en su sección ("},
        Caso{"Comillas=ab\r\n", "1,Uno\r\n", "Comillas debe ser un solo carácter (ab)"},
        Caso{"Comillas=,\r\n", "1,Uno\r\n",
             "[VarloDI] Error: 5 Las comillas (,) no pueden ser parte del separador (,)"}}) {
    SCOPED_TRACE(c.clave);
    EntornoImportacion e;
    e.PreparaTurno(c.clave);
    EscribeBytes(e.Archivo("Turno.txt"), c.bytes);
    EXPECT_EQ(e.Importa(), 4);
    const std::string linea = c.bytes == utf16 ? c.linea + e.Archivo("Turno.txt") + ")" : c.linea;
    EXPECT_EQ(e.Log(), (V{">Inicio de importación", linea, "Fin de importación"}));
    EXPECT_EQ(e.Lee("Turno", {"ID"}), Filas{});
    EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Ok.txt")), "");
    EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Er.txt")), "");
  }
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
    e.PreparaTurno(c.clave.empty() ? "" : "Codificacion=" + c.clave + "\r\n");
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

// A comma file saved by a spreadsheet, imported with "Comillas": a value
// holding the separator or a line break stays one value, each record is one
// result line and one count, and a record whose quotes are wrong is
// rejected without taking its neighbours along.
TEST(OpcionesFuente, ComillasDeUnaHojaDeCalculoRegistroARegistro) {
  EntornoImportacion e;
  e.PreparaTurno("Codificacion=UTF-8\r\nLineasEncabezado=1\r\nComillas=\"\r\n");
  // the header's title spans two lines and is still one record
  EscribeBytes(e.Archivo("Turno.txt"),
               "\"ID\",\"Nombre\r\ncompleto\"\r\n"
               "1,\"Pérez, Ana\"\r\n"
               "2,\"Luis \"\"Lucho\"\"\nOrtega\"\r\n"
               "5,\"Ana\"x\r\n"
               "3,\"sin cerrar\r\n"
               "4,Eva\r\n"
               "6,\"\"");
  // small batches: a record's defect travels with it while the reader goes on
  EXPECT_EQ(e.Importa(Lote(2)), 1);
  EXPECT_EQ(
      e.Lee("Turno", {"ID", "Nombre"}),
      (Filas{{"1", "Pérez, Ana"}, {"2", "Luis \"Lucho\"\nOrtega"}, {"4", "Eva"}, {"6", "NULL"}}));
  // each record as read, its inner line end as it was in the file
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Ok.txt")),
            "1,\"Pérez, Ana\"\r\n2,\"Luis \"\"Lucho\"\"\nOrtega\"\r\n4,Eva\r\n6,\"\"\r\n");
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Er.txt")),
            "5,\"Ana\"x(Texto después de las comillas de cierre en la columna 2, Columna:0)\r\n"
            "3,\"sin cerrar(Las comillas abiertas en la línea 7 no se cierran, Columna:0)\r\n");
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 7 leídas, 1 omitidas, 4 agregadas, 0 actualizadas, "
                              "2 rechazadas (Log/Turno_Er.txt), 0 sin procesar"}));
  EXPECT_EQ(e.ventana->Maximo(), 7);  // the progress counts records too
}

// Without "Comillas" quotes are data, and without "TextoNulo" a value that
// reads "NULL" is text like any other. A byte Windows-1252 does not define
// rejects its record; the error file gets the line as it was read.
TEST(OpcionesFuente, SinLasClavesLasComillasYNullSonDatos) {
  EntornoImportacion e;
  e.PreparaTurno();
  EscribeBytes(e.Archivo("Turno.txt"), Utf8AAnsi("1,\"Ana\"\r\n2,\"Pérez, Ana\"\r\n3,NULL\r\n") +
                                           "4,Bego\x81"
                                           "a\r\n");
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}, "<nulo>"),
            (Filas{{"1", "\"Ana\""}, {"2", "\"Pérez"}, {"3", "NULL"}}));
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Er.txt")),
            "4,Bego\x81"
            "a(La l\xEDnea no es texto Windows-1252 v\xE1lido, Columna:0)\r\n");
}

}  // namespace
}  // namespace varlo::prueba
