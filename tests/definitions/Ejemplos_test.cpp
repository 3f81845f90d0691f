// Every example of examples/definiciones imports its source cleanly into a
// fresh SQLite database, run by the whole run sequence as the program would.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/FilasTabla.h"
#include "support/IconvComando.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;

using Filas = std::vector<std::vector<std::string>>;

// What each example must leave in its table: some columns, rows sorted.
struct Esperado {
  std::vector<std::string> columnas;
  Filas filas;
  std::size_t lineas = 0;  // lines of the source, when not one per row
};

const std::map<std::string, Esperado>& Esperados() {
  static const std::map<std::string, Esperado> r = {
      {"ancho_fijo.ini",
       {{"ID_Empleado", "Nombre", "Edad", "Activo", "FechaAlta", "Sueldo"},
        {{"000101", "José Núñez", "34", "True", "2006-08-03", "12500.5"},
         {"000102", "Ana María Peña", "28", "False", "2010-01-15", "9800"},
         {"000103", "Luis Ortega", "45", "True", "1998-11-30", "21000.75"}}}},
      // a spreadsheet's CSV: quoted values hold commas and doubled quotes
      {"comillas.ini",
       {{"ID_Empleado", "Nombre", "NumeroTarjeta", "FechaAlta"},
        {{"000301", "Pérez, Ana", "4481", "2005-12-25"},
         {"000302", "Luis \"Lucho\" Ortega", "4482", "2006-08-03"},
         {"000303", "Marta Ruiz", "<nulo>", "2010-01-15"}}}},
      {"comas.ini",
       {{"Id_Empleado", "Fecha", "ID_Tipo", "Dato0_FAL", "Referencia"},
        {{"000101", "2006-08-03", "VAC", "<nulo>", "Vacaciones de verano"},
         {"000101", "2006-08-04", "VAC", "<nulo>", "Vacaciones de verano"},
         {"000102", "2010-01-15", "INC", "<nulo>", "Incapacidad médica"}}}},
      {"otro_separador.ini",
       {{"ID_Empleado", "Nombre", "NumeroTarjeta", "FechaAlta"},
        {{"000201", "Carmen Ibáñez", "4471", "2006-08-03"},
         {"000202", "Óscar Gómez", "4472", "2011-10-02"}}}},
      {"utf16.ini",
       {{"ID_Empleado", "Nombre", "NumeroTarjeta", "FechaAlta"},
        {{"000301", "Nguyễn Văn An", "4481", "2006-08-03"},
         {"000302", "Zoë Łukasiewicz", "4482", "2010-01-15"},
         {"000303", "Ana María Peña", "4483", "1998-11-30"}}}},
      {"tabuladores.ini",
       {{"[Key]", "[Parent]"},
        {{"_0A", "<nulo>"}, {"_10001", "_0A"}, {"_20005", "_10001"}, {"_30012", "_20005"}}}},
      // "TextoNulo=NULL": the second line of 000301 clears its pay, and its
      // empty values leave the rest as they were
      {"texto_nulo.ini",
       {{"ID_Empleado", "Nombre", "Edad", "Activo", "FechaAlta", "Sueldo"},
        {{"000301", "Rosa Díaz", "30", "True", "2010-03-05", "<nulo>"},
         {"000302", "Tomás Ruiz", "41", "False", "<nulo>", "<nulo>"}},
        3}}};
  return r;
}

// Non-empty lines of a file, without their CR LF; a UTF-16 file (with its
// mark) in UTF-8 as the iconv command reads it.
std::vector<std::string> Lineas(const std::string& ruta) {
  std::string bytes = prueba::LeeBytes(ruta);
  if (bytes.starts_with("\xFF\xFE")) bytes = prueba::Iconv(bytes.substr(2), "UTF-16LE", "UTF-8");
  std::vector<std::string> r;
  for (const std::string& l : Divide(bytes, "\r\n"))
    if (!l.empty()) r.push_back(l);
  return r;
}

TEST(EjemplosDefiniciones, EachImportsEveryLineWithExitZeroAndTheValuesItMeans) {
  const std::string carpeta = std::string(VARLODI_SOURCE_DIR) + "/examples/definiciones";
  std::vector<std::string> nombres;
  for (const auto& e : fs::directory_iterator(carpeta))
    if (e.path().extension() == ".ini") nombres.push_back(e.path().filename().string());
  std::sort(nombres.begin(), nombres.end());
  std::vector<std::string> conEsperado;
  for (const auto& [nombre, esperado] : Esperados()) conEsperado.push_back(nombre);
  // fixed width, comma, quoted comma, another separator, TAB, UTF-16, TextoNulo
  EXPECT_EQ(nombres, conEsperado);

  for (const auto& [nombre, esperado] : Esperados()) {
    SCOPED_TRACE(nombre);
    prueba::CarpetaTemporal tmp;
    EstableceCarpetaPrograma(tmp.Ruta());
    // The database the examples name: varlo.db in the program's folder.
    const std::string cadena = prueba::BaseDatosPrueba::SQLite(tmp.Archivo("esquema"));
    fs::rename(cadena.substr(cadena.find('=', cadena.find("Data Source")) + 1),
               tmp.Archivo("varlo.db"));

    const std::string ini = tmp.Archivo(nombre);
    // the program's folder the examples name becomes the test's
    prueba::EscribeBytes(
        ini, Une(Divide(prueba::LeeBytes(carpeta + "/" + nombre), "/var/lib/varlodi"), tmp.Ruta()));
    Kelto_API_INIFiles lector;
    const std::string tabla = lector.API_GetPrivateProfileString(ini, "Tablas", "Tabla1", "");
    const std::string origen = lector.API_GetPrivateProfileString(ini, tabla, "Origen", "");
    ASSERT_EQ(CarpetaPadre(origen), tmp.Ruta());
    prueba::EscribeBytes(origen,
                         prueba::LeeBytes(carpeta + "/" + fs::path(origen).filename().string()));

    VentanaFalsa v;
    frmMain f(v, ini);
    f.Form_Load();
    f.Form_Activate();
    EXPECT_EQ(f.EstadoSalida(), 0) << prueba::LeeBytes(tmp.Archivo("Log/" + tabla + "_Er.txt"));
    // heading lines are skipped, neither imported nor rejected
    std::vector<std::string> lineas = Lineas(origen);
    const std::string encabezado =
        lector.API_GetPrivateProfileString(ini, tabla, "LineasEncabezado", "0");
    lineas.erase(lineas.begin(), lineas.begin() + std::stoi(encabezado));
    EXPECT_EQ(lineas.size(), esperado.lineas ? esperado.lineas : esperado.filas.size());
    EXPECT_EQ(Lineas(tmp.Archivo("Log/" + tabla + "_Ok.txt")), lineas);
    EXPECT_TRUE(Lineas(tmp.Archivo("Log/" + tabla + "_Er.txt")).empty());

    auto cn = db::Conexion::Abre("Provider=SQLite;Data Source=" + tmp.Archivo("varlo.db"));
    EXPECT_EQ(prueba::LeeFilas(*cn, tabla, esperado.columnas, "<nulo>"), esperado.filas);
    cn->Close();
    EstableceCarpetaPrograma("");
  }
}

}  // namespace
}  // namespace varlo
