// The definitions-file generator and its table picker, driven through a
// scripted fake window that ticks tables by name; the file written is read
// back as ordered entries and compared with what the generator should write.
#include "definitions/CreaArchivoDefiniciones.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Fechas.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "definitions/frmSelTablas.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/MotoresPrueba.h"
#include "support/RelojFijo.h"

namespace varlo::prueba {
namespace {

// The fake window, ticking the tables named in `elegir` whatever their place,
// and noting how many status texts had been shown when each message came.
class VentanaGenerador : public VentanaFalsa {
 public:
  std::set<std::string> elegir;
  std::vector<std::size_t> estadosAntesDelMensaje;

  Respuesta MuestraMensaje(const std::string& texto, Botones botones, Icono icono,
                           const std::string& titulo) override {
    estadosAntesDelMensaje.push_back(estados.size());
    return VentanaFalsa::MuestraMensaje(texto, botones, icono, titulo);
  }

  std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) override {
    listasTablas.push_back(tablas);
    std::vector<bool> r;
    for (const std::string& t : tablas) r.push_back(elegir.count(t) > 0);
    return r;
  }
};

using Entrada = std::tuple<std::string, std::string, std::string>;  // section, key, value

// Every "key=value" line with its section, in file order, text converted
// from the file's code page. The "; " lines go to `notas`, when given, as
// (section, the line right below them, text). Each line must end in CR LF.
std::vector<Entrada> LeeEntradas(const std::string& ruta, std::vector<Entrada>* notas = nullptr) {
  const std::string bytes = LeeBytes(ruta);
  EXPECT_TRUE(bytes.ends_with("\r\n"));
  std::vector<Entrada> r;
  std::vector<std::string> pendientes;
  std::string seccion;
  for (const std::string& l : Divide(bytes, "\r\n")) {
    const std::string linea = AnsiAUtf8(l);
    if (linea.starts_with("; ")) {
      pendientes.push_back(linea.substr(2));
      continue;
    }
    std::string debajo = linea;
    if (linea.starts_with('[') && linea.ends_with(']')) {
      seccion = linea.substr(1, linea.size() - 2);
    } else if (auto igual = linea.find('='); igual != std::string::npos) {
      debajo = linea.substr(0, igual);
      r.emplace_back(seccion, debajo, linea.substr(igual + 1));
    } else {
      EXPECT_EQ(linea, "") << "línea inesperada";
    }
    if (notas)
      for (const std::string& n : pendientes) notas->emplace_back(seccion, debajo, n);
    pendientes.clear();
  }
  EXPECT_TRUE(pendientes.empty()) << "notas al final del archivo";
  return r;
}

// The sections in file order.
std::vector<std::string> Secciones(const std::vector<Entrada>& entradas) {
  std::vector<std::string> r;
  for (const auto& e : entradas)
    if (r.empty() || r.back() != std::get<0>(e)) r.push_back(std::get<0>(e));
  return r;
}

struct CampoEsperado {
  std::string nombre;
  long tamano;
  int tipo = 0;
};

// "CampoColumnaN" for every field, then "LongitudColumnaN" for every field:
// its declared size, or 0 for a picture (it comes from a file) and for a
// size no fixed-width line can hold.
void Columnas(std::vector<Entrada>& r, const std::string& s,
              const std::vector<CampoEsperado>& campos) {
  for (std::size_t j = 0; j < campos.size(); ++j)
    r.emplace_back(s, "CampoColumna" + std::to_string(j + 1), campos[j].nombre);
  for (std::size_t j = 0; j < campos.size(); ++j) {
    const bool sinAncho = campos[j].tipo == 205 || campos[j].tamano > 32766;
    r.emplace_back(s, "LongitudColumna" + std::to_string(j + 1),
                   std::to_string(sinAncho ? 0 : campos[j].tamano));
  }
}

// What the generator writes, in order, for these tables (name and fields),
// with the program in `carpeta` and the connection `cadena`.
std::vector<Entrada> EntradasEsperadas(
    const std::string& carpeta, const std::string& cadena,
    const std::vector<std::pair<std::string, std::vector<CampoEsperado>>>& tablas) {
  const std::string o = "Opciones", f = "Formatos Archivo Fuente";
  std::vector<Entrada> r = {{o, "MostrarMensajes", "0"},
                            {o, "ReporteLog", "1"},
                            {o, "ReporteEmpleadosImportados", "1"},
                            {o, "ReporteEmpleadosNoImportados", "1"},
                            {"Base de Datos", "Conexion", cadena},
                            {f, "Formato1", "Longitud específica por columna (Predeterminada)"},
                            {f, "Formato2", "Separado por TABs"},
                            {f, "Formato3", "Separado por Comas"},
                            {f, "Formato4", "Separado por Otro"},
                            {f, "Otro", ""}};
  if (!tablas.empty()) r.emplace_back("Tablas", "Total", std::to_string(tablas.size()));
  for (std::size_t k = 0; k < tablas.size(); ++k)
    r.emplace_back("Tablas", "Tabla" + std::to_string(k + 1), tablas[k].first);
  for (const auto& [t, campos] : tablas) {
    const bool empleado = t == "Empleado" || t == "empleado" || t == "EMPLEADO";
    for (const auto& [k, v] : std::vector<std::pair<std::string, std::string>>{
             {"Formato", "1"},
             {"Comillas", ""},
             {"FormatoFecha", "YYYY-MM-DD"},
             {"Borrar antes de importar", "0"},
             {"TextoNulo", ""},
             {"Origen", carpeta + "/" + t + ".txt"},
             {"DirectorioFotos", carpeta + "/Fotos/"},
             {"NombreFotos", "ID_Empleado"},
             {"NombreIndice", "ID_Empleado"},
             {"Jerarquia unica en columna", ""},
             {"Columnas", std::to_string(campos.size())}})
      r.emplace_back(t, k, v);
    std::vector<CampoEsperado> todos = campos;
    if (empleado) todos.insert(todos.end(), {{"ID_Calendario", 15}, {"FIAplicacion", 16}});
    Columnas(r, t, todos);
  }
  const std::string pf = "Planeacion Faltas";
  r.insert(r.end(), {{pf, "Formato", "1"},
                     {pf, "Comillas", ""},
                     {pf, "FormatoFecha", "YYYY-MM-DD"},
                     {pf, "Origen", carpeta + "/Planfal.txt"},
                     {pf, "Columnas", "11"}});
  const std::vector<CampoEsperado> plan = {
      {"ID_Empleado", 15}, {"Fecha1", 16},    {"Fecha2", 16},    {"ID_Tipo", 15},
      {"Dato0_FAL", 15},   {"Dato1_FAL", 15}, {"Dato2_FAL", 15}, {"Dato3_FAL", 15},
      {"Dato4_FAL", 15},   {"Dato5_FAL", 15}, {"Referencia", 50}};
  Columnas(r, pf, plan);
  return r;
}

// Name and declared size of every field of a table, as the database reports them.
std::vector<CampoEsperado> CamposDe(const std::string& cadena, const std::string& tabla) {
  std::unique_ptr<db::Conexion> cn = db::Conexion::Abre(cadena);
  db::Consulta q;
  q.tabla = tabla;
  q.top = 0;
  std::unique_ptr<db::Recordset> rs = cn->AbreConsulta(q, 0);
  std::vector<CampoEsperado> r;
  for (int i = 0; i < rs->FieldCount(); ++i)
    r.push_back({rs->Field(i).nombre, rs->Field(i).tamanoDefinido, rs->Field(i).tipo});
  return r;
}

}  // namespace
}  // namespace varlo::prueba

namespace varlo {
namespace {

namespace fs = std::filesystem;
using prueba::BaseDatosPrueba;
using prueba::VentanaGenerador;

// Yes to the offer, the names for the Save dialog, and the connection if any.
void Guion(VentanaGenerador& v, std::vector<std::string> nombres,
           std::optional<std::string> cadena) {
  v.respuestas.push_back(Respuesta::Si);
  v.archivosGuardar.assign(nombres.begin(), nombres.end());
  if (cadena) v.conexiones.push_back(*cadena);
}

class Generador : public ::testing::TestWithParam<prueba::MotorPrueba> {
 protected:
  Generador() { EstableceCarpetaPrograma(tmp.Ruta()); }
  prueba::RelojFijo reloj;
  prueba::CarpetaTemporal tmp;
};

// The whole flow from the run sequence: no file given, the Open dialog
// cancelled, a file generated for two tables, the run on it.
TEST_P(Generador, FileFollowsTheFormatKeyByKeyAndTheRunUsesIt) {
  std::setlocale(LC_TIME, "C");
  std::unique_ptr<BaseDatosPrueba> pg;
  const std::string cadena = prueba::BaseDe(GetParam(), tmp.Archivo("bd"), pg);
  const std::string emp = pg ? "empleado" : "Empleado", jer = pg ? "jerarquias" : "Jerarquias";
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador v;
  Guion(v, {ruta}, cadena);
  v.elegir = {jer, emp};
  frmMain f(v, "");
  f.Form_Load();
  f.Form_Activate();

  ASSERT_EQ(v.mensajes.size(), 2u);
  EXPECT_EQ(v.mensajes[0].texto,
            "No se especificó archivo de definiciones.\rDesea crear uno nuevo?");
  // Then where the file went and what to review, never waiting, before the
  // import shows anything.
  const VentanaFalsa::Mensaje& aviso = v.mensajes[1];
  EXPECT_EQ(aviso.botones, Botones::Aceptar);
  EXPECT_EQ(aviso.icono, Icono::Informacion);
  for (const std::string& parte : {ruta, std::string("(Origen)"), std::string("(LongitudColumna)"),
                                   std::string("(FormatoFecha)")})
    EXPECT_NE(aviso.texto.find(parte), std::string::npos) << parte;
  const auto obteniendo = std::find_if(v.estados.begin(), v.estados.end(), [](const auto& e) {
    return e.starts_with("Obteniendo información");
  });
  ASSERT_NE(obteniendo, v.estados.end());
  EXPECT_LE(v.estadosAntesDelMensaje[1], std::size_t(obteniendo - v.estados.begin()));
  ASSERT_EQ(v.dialogosGuardar.size(), 1u);
  EXPECT_EQ(v.dialogosGuardar[0].titulo, "Nuevo Archivo de definiciones");
  EXPECT_EQ(v.dialogosGuardar[0].filtro, "Archivos de definiciones (*.ini)|*.ini");
  EXPECT_EQ(f.ArchivoDefiniciones, ruta);
  std::vector<prueba::Entrada> notas;
  const auto escritas = prueba::LeeEntradas(ruta, &notas);
  EXPECT_EQ(escritas, prueba::EntradasEsperadas(tmp.Ruta(), cadena,
                                                {{emp, prueba::CamposDe(cadena, emp)},
                                                 {jer, prueba::CamposDe(cadena, jer)}}));
  // The review notes head the file, still above its first section after
  // every key write, and name the three things the message names.
  ASSERT_FALSE(notas.empty());
  std::string cabecera;
  for (const auto& [seccion, debajo, texto] : notas)
    if (debajo == "[Opciones]") cabecera += texto + "\n";
  EXPECT_TRUE(prueba::LeeBytes(ruta).starts_with("; ")) << cabecera;
  for (const char* clave : {"Origen", "LongitudColumna", "FormatoFecha"})
    EXPECT_NE(cabecera.find(clave), std::string::npos) << clave;
  // Apart from the catalogue the expectation was built from: declared lengths.
  EXPECT_NE(
      std::find(escritas.begin(), escritas.end(), prueba::Entrada{emp, "LongitudColumna2", "50"}),
      escritas.end());
  // The file holds the password: its owner alone may read it.
  EXPECT_EQ(fs::status(ruta).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  EXPECT_TRUE(f.Terminado());
  const std::string log = prueba::LeeBytes(tmp.Archivo("Log/VarloDI_Aug2006.log"));
  EXPECT_NE(log.find(Utf8AAnsi(">Inicio de importación (")), std::string::npos) << log;
  EXPECT_NE(log.find(Utf8AAnsi("Fin de importación (")), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Motores, Generador, prueba::TodosLosMotores(), prueba::NombreMotor);

using GeneradorSinBase = Generador;

TEST_F(GeneradorSinBase, DeclinedOfferBlankNameOrCancelledConnectionWriteNothing) {
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador no, blanco, sinConexion;
  no.respuestas.push_back(Respuesta::No);
  no.archivosGuardar.push_back(ruta);
  Guion(blanco, {"   "}, "Provider=SQLite;Data Source=x");
  Guion(sinConexion, {ruta}, std::nullopt);
  for (VentanaGenerador* v : {&no, &blanco, &sinConexion}) {
    frmMain f(*v, "");
    EXPECT_EQ(CreaArchivoDefiniciones(f), "");
    EXPECT_EQ(f.CadenaConexion, "");
  }
  EXPECT_TRUE(no.dialogosGuardar.empty());
  EXPECT_EQ(blanco.conexiones.size(), 1u);  // never asked for
  EXPECT_TRUE(fs::is_empty(tmp.Ruta()));
}

TEST_F(GeneradorSinBase, ExistingNameIsRefusedAndAskedAgainNeverOverwritten) {
  const std::string viejo = tmp.Archivo("viejo.ini");
  prueba::EscribeBytes(viejo, "[Opciones]\r\nReporteLog=0\r\n");
  VentanaGenerador v;
  Guion(v, {viejo, tmp.Archivo("nuevo.ini")}, BaseDatosPrueba::SQLite(tmp.Archivo("bd")));
  frmMain f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), tmp.Archivo("nuevo.ini"));
  EXPECT_EQ(v.dialogosGuardar.size(), 2u);
  ASSERT_EQ(v.mensajes.size(), 3u);
  EXPECT_EQ(v.mensajes[1].texto, "Archivo ya existe.");
  EXPECT_EQ(prueba::LeeBytes(viejo), "[Opciones]\r\nReporteLog=0\r\n");
  // Nothing ticked: no "Tablas", no table section, the absence planning still.
  EXPECT_EQ(prueba::Secciones(prueba::LeeEntradas(tmp.Archivo("nuevo.ini"))),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente",
                                      "Planeacion Faltas"}));
}

// What the generator cannot know keeps the value the format fixes and gets a
// note right above its key: a key column the table lacks (the match is exact,
// so Kardex's Id_Empleado does not count), the two Empleado entries beyond
// "Columnas". A picture, or a field too wide for a fixed-width line, gets
// width 0 instead of a size that would reject every line.
TEST_F(GeneradorSinBase, NotesStandAboveWhatToReviewAndEveryKeyStillReads) {
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  db::Conexion::Abre(cadena)->Execute(
      "CREATE TABLE Notas (ID INTEGER, Texto TEXT, Corto VARCHAR(30))");
  const std::string ruta = tmp.Archivo("nuevo.ini");
  prueba::EscribeBytes(ruta + ".0.tmp", "ajeno");  // a name in use is never taken
  VentanaGenerador v;
  Guion(v, {ruta}, cadena);
  v.elegir = {"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados", "Notas"};
  frmMain f(v, "");
  ASSERT_EQ(CreaArchivoDefiniciones(f), ruta);

  std::vector<prueba::Entrada> notas;
  const auto escritas = prueba::LeeEntradas(ruta, &notas);
  std::vector<std::pair<std::string, std::vector<prueba::CampoEsperado>>> tablas;
  for (const char* t : {"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados", "Notas"})
    tablas.emplace_back(t, prueba::CamposDe(cadena, t));
  EXPECT_EQ(escritas, prueba::EntradasEsperadas(tmp.Ruta(), cadena, tablas));
  for (const prueba::Entrada& e :
       std::vector<prueba::Entrada>{{"Empleado", "Columnas", "14"},
                                    {"Empleado", "CampoColumna15", "ID_Calendario"},
                                    {"Empleado", "LongitudColumna14", "0"},  // Foto
                                    {"Notas", "LongitudColumna2", "0"},      // TEXT
                                    {"Notas", "LongitudColumna3", "30"},
                                    {"Kardex", "NombreIndice", "ID_Empleado"}})
    EXPECT_NE(std::find(escritas.begin(), escritas.end(), e), escritas.end()) << std::get<1>(e);

  // (section, key below the note, part of the note), in file order.
  const std::vector<prueba::Entrada> esperadas = {
      {"Empleado", "CampoColumna15", "Columnas=14"},
      {"Empleado", "LongitudColumna14", tmp.Archivo("Empleado_Foto/<llave>.jpg")},
      {"Jerarquias", "NombreIndice", "ID_Empleado"},
      {"Kardex", "NombreIndice", "se llama Id_Empleado, no ID_Empleado"},
      {"Fotos_Empleados", "LongitudColumna2", tmp.Archivo("Fotos_Empleados_Foto/<llave>.jpg")},
      {"Notas", "NombreIndice", "ID_Empleado"},
      {"Notas", "LongitudColumna2", "2147483647"}};
  std::vector<prueba::Entrada> enTablas;
  for (const auto& n : notas)
    if (std::get<0>(n) != "Opciones") enTablas.push_back(n);
  ASSERT_EQ(enTablas.size(), esperadas.size());
  for (std::size_t i = 0; i < esperadas.size(); ++i) {
    const auto& [seccion, debajo, parte] = esperadas[i];
    EXPECT_EQ(std::get<0>(enTablas[i]), seccion);
    EXPECT_EQ(std::get<1>(enTablas[i]), debajo);
    EXPECT_NE(std::get<2>(enTablas[i]).find(parte), std::string::npos) << std::get<2>(enTablas[i]);
  }

  // The program's own reader skips the notes and finds every key.
  Kelto_API_INIFiles ini;
  for (const auto& [seccion, clave, valor] : escritas)
    EXPECT_EQ(ini.API_GetPrivateProfileString(ruta, seccion, clave, "<falta>"), valor) << clave;
  // Rewritten with its notes, the file is still its owner's alone, and no copy is left.
  EXPECT_EQ(fs::status(ruta).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(prueba::LeeBytes(ruta + ".0.tmp"), "ajeno");
  EXPECT_FALSE(fs::exists(ruta + ".1.tmp"));
}

// The connection composed in the dialog opens, the run's does not: the file
// keeps its notes and fixed sections, and the message says that is all.
TEST_F(GeneradorSinBase, WithoutTheRunConnectionTheMessageSaysOnlyTheFixedSectionsWereWritten) {
  struct frmSinConexion : frmMain {
    using frmMain::frmMain;
    bool ConectaBD() override { return false; }
  };
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador v;
  Guion(v, {ruta}, BaseDatosPrueba::SQLite(tmp.Archivo("bd")));
  frmSinConexion f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), ruta);
  ASSERT_EQ(v.mensajes.size(), 2u);
  EXPECT_EQ(v.mensajes[1].icono, Icono::Informacion);
  EXPECT_EQ(v.mensajes[1].texto, "Se creó el archivo de definiciones " + ruta +
                                     " solo con las secciones fijas: no hubo conexión con la "
                                     "base de datos.");
  EXPECT_EQ(prueba::Secciones(prueba::LeeEntradas(ruta)),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente"}));
  EXPECT_TRUE(prueba::LeeBytes(ruta).starts_with("; "));
}

TEST_F(GeneradorSinBase, PickerGivesTickedBaseTablesInNodeOrderJoinedByCommas) {
  prueba::VentanaGenerador v;
  frmMain f(v, "");
  f.EstableceConexion(db::Conexion::Abre(prueba::BaseDatosPrueba::SQLite(tmp.Archivo("bd"))));
  frmSelTablas selector;
  const std::vector<std::pair<std::set<std::string>, std::string>> casos = {
      {{}, ""},
      {{"Kardex"}, "Kardex"},
      {{"Fotos_Empleados", "Empleado"}, "Empleado,Fotos_Empleados"}};
  for (const auto& [elegir, esperado] : casos) {
    v.elegir = elegir;
    EXPECT_EQ(selector.Tablas(f), esperado);
  }
  // The base tables in catalogue order, not the view.
  EXPECT_EQ(v.listasTablas.at(0),
            (std::vector<std::string>{"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados"}));
  // No comma goes in while only blanks have been gathered.
  EXPECT_EQ(frmSelTablas::UneMarcadas({"  ", "c", "d"}, {true, true, true}), "  c,d");
}

}  // namespace
}  // namespace varlo
