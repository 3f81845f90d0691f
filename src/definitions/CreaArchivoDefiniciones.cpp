#include "definitions/CreaArchivoDefiniciones.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "common/Codificacion.h"
#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Corrida.h"
#include "db/TiposAdo.h"
#include "definitions/LectorDefiniciones.h"
#include "definitions/frmSelTablas.h"

namespace varlo {

namespace {

constexpr const char* kFiltro = "Archivos de definiciones (*.ini)|*.ini";

struct ColumnaFija {
  const char* nombre;
  const char* longitud;
};

constexpr ColumnaFija kColumnasFaltas[] = {
    {"ID_Empleado", "15"}, {"Fecha1", "16"},    {"Fecha2", "16"},    {"ID_Tipo", "15"},
    {"Dato0_FAL", "15"},   {"Dato1_FAL", "15"}, {"Dato2_FAL", "15"}, {"Dato3_FAL", "15"},
    {"Dato4_FAL", "15"},   {"Dato5_FAL", "15"}, {"Referencia", "50"}};

// The fixed-width reader keeps its position in 16 bits: no column can be
// wider than this.
constexpr long kAnchoMaximo = 32766;

// Files, folders and links alike count as taken: a name in use is never overwritten.
bool ExisteRuta(const std::string& ruta) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(ruta, ec));
}

struct CierraArchivo {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using ArchivoC = std::unique_ptr<std::FILE, CierraArchivo>;

[[noreturn]] void NoSeEscribio(const std::string& ruta) {
  throw ErrorVarlo(errores::ErrorAcceso, kFuentePrograma,
                   "No se pudo escribir en el archivo " + ruta);
}

// Makes a new file (never over another), readable by its owner only before
// it holds any text, since the definitions file carries the password.
// False when the name is taken or the folder refuses it.
bool CreaPrivado(const std::string& ruta, const std::string& bytes) {
  ArchivoC f(std::fopen(ruta.c_str(), "wx"));
  if (!f) return false;
  SoloPropietario(ruta);
  bool escrito = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  escrito = std::fclose(f.release()) == 0 && escrito;
  if (!escrito) {
    std::error_code ec;
    std::filesystem::remove(ruta, ec);
    NoSeEscribio(ruta);
  }
  return true;
}

// ";" lines, which the profile rules skip, in the file's code page.
std::string Comentario(const std::vector<std::string>& lineas) {
  std::string r;
  for (const std::string& l : lineas) r += Utf8AAnsi("; " + l) + "\r\n";
  return r;
}

// The top of every generated file: what was guessed and must be checked.
const std::vector<std::string>& Cabecera() {
  static const std::vector<std::string> lineas = {
      "Archivo de definiciones generado por VarloDI desde la base de datos.",
      "Antes de confiar en una importación, revise en cada tabla y en [Planeacion Faltas]:",
      "  Origen             la ruta del archivo fuente;",
      "  LongitudColumnaN   el ancho de cada columna en el archivo fuente (Formato=1); se",
      "                     escribió el tamaño que declara la base de datos;",
      "  FormatoFecha       dónde están el año (YYYY), el mes (MM) y el día (DD) en las fechas.",
      "Las líneas que empiezan con \";\" son comentarios: el programa no las lee."};
  return lineas;
}

void CreaArchivoPrivado(const std::string& ruta) {
  if (!CreaPrivado(ruta, Comentario(Cabecera())))
    throw ErrorVarlo(errores::ErrorAcceso, kFuentePrograma, "No se pudo crear el archivo " + ruta);
}

std::string LeeArchivo(const std::string& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  if (!f) NoSeEscribio(ruta);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// A note for whoever edits the file, put right above `clave`.
struct Nota {
  std::string clave;
  std::string texto;
};

// Rewrites the file with each note as a ";" line above its key in the first
// section of that name. The copy is made beside the file, private from the
// start, and takes its place in one step.
void AnotaSeccion(const std::string& ruta, const std::string& seccion,
                  const std::vector<Nota>& notas) {
  if (notas.empty()) return;
  std::string bytes = LeeArchivo(ruta);
  if (bytes.ends_with("\r\n")) bytes.resize(bytes.size() - 2);
  std::string r;
  enum { Antes, Dentro, Despues } lugar = Antes;
  for (const std::string& crudo : Divide(bytes, "\r\n")) {
    const std::string linea = Recorta(AnsiAUtf8(crudo));
    if (linea.starts_with('[') && linea.ends_with(']')) {
      const bool esta = IgualSinCaso(Recorta(linea.substr(1, linea.size() - 2)), Recorta(seccion));
      lugar = lugar == Antes && esta ? Dentro : lugar == Dentro ? Despues : lugar;
    } else if (std::size_t igual = linea.find('=');
               lugar == Dentro && !linea.starts_with(';') && igual != std::string::npos) {
      for (const Nota& n : notas)
        if (IgualSinCaso(Recorta(linea.substr(0, igual)), n.clave)) r += Comentario({n.texto});
    }
    r += crudo + "\r\n";
  }
  for (int n = 0; n < 100; ++n) {
    const std::string temporal = ruta + "." + std::to_string(n) + ".tmp";
    if (!CreaPrivado(temporal, r)) continue;
    if (ReemplazaAtomico(temporal, ruta)) return;
    std::error_code ec;
    std::filesystem::remove(temporal, ec);
    break;
  }
  NoSeEscribio(ruta);
}

class Escritor {
 public:
  Escritor(Corrida& f, std::string ruta) : f_(f), ruta_(std::move(ruta)) {}
  void operator()(const std::string& seccion, const std::string& clave, const std::string& valor) {
    // A key that did not reach the disk would leave a file that drives a
    // different import than the one generated.
    if (!f_.oIni().API_WritePrivateProfileString(ruta_, seccion, clave, valor))
      throw ErrorVarlo(errores::ErrorAcceso, kFuentePrograma,
                       "No se pudo escribir en el archivo " + ruta_);
  }

 private:
  Corrida& f_;
  std::string ruta_;
};

std::string PideNombre(Corrida& f) {
  Ventana& v = f.ventana();
  while (true) {
    DialogoArchivo d;
    d.titulo = "Nuevo Archivo de definiciones";
    d.extension = ".ini";
    d.carpetaInicial = CarpetaPrograma();
    d.filtro = kFiltro;
    d.nombre = "";
    std::string ruta = v.MuestraGuardar(d);
    v.ProcesaEventos();
    if (EstaEnBlanco(ruta)) return "";
    if (!ExisteRuta(ruta)) return ruta;
    v.MuestraMensaje("Archivo ya existe.", Botones::Aceptar, Icono::Critico, kTituloAplicacion);
  }
}

// Opens and closes a connection with the candidate string: "" when it
// worked, otherwise why not.
std::string PruebaConexion(const std::string& cadena) {
  try {
    std::unique_ptr<db::Conexion> cn = db::Conexion::Abre(cadena);
    if (!cn || cn->State() != 1) return "No se pudo abrir la conexión.";
    cn->Close();
    return "";
  } catch (...) {
    return TextoError(ErrorCapturado());
  }
}

void EscribeSeccionesFijas(Escritor& escribe, const std::string& cadena) {
  escribe("Opciones", "MostrarMensajes", "0");
  escribe("Opciones", "ReporteLog", "1");
  escribe("Opciones", "ReporteEmpleadosImportados", "1");
  escribe("Opciones", "ReporteEmpleadosNoImportados", "1");
  escribe("Base de Datos", "Conexion", cadena);
  escribe("Formatos Archivo Fuente", "Formato1",
          "Longitud específica por columna (Predeterminada)");
  escribe("Formatos Archivo Fuente", "Formato2", "Separado por TABs");
  escribe("Formatos Archivo Fuente", "Formato3", "Separado por Comas");
  escribe("Formatos Archivo Fuente", "Formato4", "Separado por Otro");
  escribe("Formatos Archivo Fuente", "Otro", "");
}

// The width to write for a field: its declared size when the fixed-width
// reader can take it. A picture cannot travel in a text line: width 0 leaves
// its value empty, which sends the import to the picture's file. Any other
// field too wide to place gets 0 as well, and a note, rather than a width
// that would reject every line.
std::string Ancho(const db::InfoCampo& c, const std::string& tabla, const std::string& clave,
                  std::vector<Nota>& notas) {
  if (c.tipo == db::adLongVarBinary) {
    const std::string carpeta = UneRuta(CarpetaPrograma(), tabla + "_" + c.nombre);
    notas.push_back({clave, c.nombre + " es una imagen: con ancho 0 se toma del archivo " +
                                UneRuta(carpeta, "<llave>.jpg") + "."});
    return "0";
  }
  if (c.tamanoDefinido > kAnchoMaximo) {
    notas.push_back({clave, c.nombre +
                                ": la base de datos no le declara un tamaño que sirva de "
                                "ancho (" +
                                std::to_string(c.tamanoDefinido) +
                                "); escriba el que ocupa en el archivo fuente (con 0 no se lee)."});
    return "0";
  }
  return std::to_string(c.tamanoDefinido);
}

void EscribeSeccionTabla(Corrida& f, Escritor& escribe, const std::string& ruta,
                         const std::string& seccion) {
  const std::string carpeta = CarpetaPrograma();
  const std::string nombre = Recorta(seccion);
  const bool esEmpleado = Mayusculas(nombre) == "EMPLEADO";
  escribe(seccion, "Formato", "1");
  // written empty (no quoted fields) so that it is there to fill for a CSV export
  escribe(seccion, "Comillas", "");
  escribe(seccion, "FormatoFecha", "YYYY-MM-DD");
  escribe(seccion, "Borrar antes de importar", "0");
  escribe(seccion, "TextoNulo", "");
  escribe(seccion, "Origen", carpeta + kSeparador + nombre + ".txt");
  escribe(seccion, "DirectorioFotos", carpeta + kSeparador + "Fotos" + kSeparador);
  escribe(seccion, "NombreFotos", "ID_Empleado");
  escribe(seccion, "NombreIndice", "ID_Empleado");
  escribe(seccion, "Jerarquia unica en columna", "");

  // Only the field list is wanted: at most one row is read.
  db::Consulta sonda;
  sonda.select = "select ";
  sonda.top = 1;
  sonda.tabla = nombre;
  std::unique_ptr<db::Recordset> rs = f.cnBaseDatos()->AbreConsulta(sonda, 1);
  const std::int16_t n = AEntero16(rs->FieldCount());
  std::vector<db::InfoCampo> campos;
  for (std::int16_t j = 1; j <= n; ++j) campos.push_back(rs->Field(j - 1));
  rs->Close();

  std::vector<Nota> notas;
  escribe(seccion, "Columnas", std::to_string(n));
  auto campo = [](long j) { return LectorDefiniciones::ClaveNumerada("CampoColumna", j); };
  auto longitud = [](long j) { return LectorDefiniciones::ClaveNumerada("LongitudColumna", j); };
  for (std::int16_t j = 1; j <= n; ++j) escribe(seccion, campo(j), campos[j - 1].nombre);
  if (esEmpleado) {
    escribe(seccion, campo(Suma16(n, 1)), "ID_Calendario");
    escribe(seccion, campo(Suma16(n, 2)), "FIAplicacion");
    notas.push_back(
        {campo(Suma16(n, 1)), "Estas dos columnas quedan fuera de Columnas=" + std::to_string(n) +
                                  ": se leen del archivo fuente solo si Columnas llega a " +
                                  std::to_string(Suma16(n, 2)) + "."});
  }
  for (std::int16_t j = 1; j <= n; ++j)
    escribe(seccion, longitud(j), Ancho(campos[j - 1], nombre, longitud(j), notas));
  if (esEmpleado) {
    escribe(seccion, longitud(Suma16(n, 1)), "15");
    escribe(seccion, longitud(Suma16(n, 2)), "16");
  }
  // The key is matched letter for letter against the CampoColumna names.
  auto llave = [&campos](bool sinCaso) {
    return std::find_if(campos.begin(), campos.end(), [sinCaso](const db::InfoCampo& c) {
      return sinCaso ? IgualSinCaso(c.nombre, "ID_Empleado") : c.nombre == "ID_Empleado";
    });
  };
  const std::string escribaLlave =
      "escriba aquí la llave de la tabla tal como está en CampoColumna (varias columnas, "
      "separadas por \",\").";
  if (llave(false) == campos.end()) {
    if (auto parecida = llave(true); parecida != campos.end())
      notas.push_back({"NombreIndice", "La columna se llama " + parecida->nombre +
                                           ", no ID_Empleado: " + escribaLlave});
    else
      notas.push_back(
          {"NombreIndice", "La tabla no tiene la columna ID_Empleado: " + escribaLlave});
  }
  AnotaSeccion(ruta, seccion, notas);
}

void EscribePlaneacionFaltas(Escritor& escribe) {
  const std::string seccion = "Planeacion Faltas";
  escribe(seccion, "Formato", "1");
  escribe(seccion, "Comillas", "");
  escribe(seccion, "FormatoFecha", "YYYY-MM-DD");
  escribe(seccion, "Origen", CarpetaPrograma() + kSeparador + "Planfal.txt");
  escribe(seccion, "Columnas", "11");
  long i = 1;
  for (const ColumnaFija& c : kColumnasFaltas)
    escribe(seccion, LectorDefiniciones::ClaveNumerada("CampoColumna", i++), c.nombre);
  i = 1;
  for (const ColumnaFija& c : kColumnasFaltas)
    escribe(seccion, LectorDefiniciones::ClaveNumerada("LongitudColumna", i++), c.longitud);
}

// Where the file went and what was guessed, before the run goes on with it.
void AvisaCreado(Ventana& v, const std::string& ruta, bool completo) {
  const std::string texto =
      completo ? "Se creó el archivo de definiciones " + ruta +
                     ".\rRevise en él las rutas de los archivos fuente (Origen), los anchos de "
                     "columna (LongitudColumna) y las máscaras de fecha (FormatoFecha): la "
                     "importación que sigue usa los valores generados."
               : "Se creó el archivo de definiciones " + ruta +
                     " solo con las secciones fijas: no hubo conexión con la base de datos.";
  v.MuestraMensaje(texto, Botones::Aceptar, Icono::Informacion, kTituloAplicacion);
}

}  // namespace

std::string CreaArchivoDefiniciones(Corrida& f) {
  Ventana& v = f.ventana();
  if (v.MuestraMensaje(std::string("No se especificó archivo de definiciones.") + "\r" +
                           "Desea crear uno nuevo?",
                       Botones::SiNo, Icono::Pregunta, kTituloAplicacion) != Respuesta::Si)
    return "";

  std::string ruta = PideNombre(f);
  if (ruta.empty()) return "";

  try {
    std::optional<std::string> compuesta = v.ComponeConexion(kSemillaConexion, PruebaConexion);
    if (!compuesta) return "";
    // The composed string must open, as the data-link dialog's Open would.
    {
      std::unique_ptr<db::Conexion> privada = db::Conexion::Abre(*compuesta);
      if (!privada || privada->State() != 1) return "";
      privada->Close();
    }
    f.CadenaConexion = *compuesta;

    CreaArchivoPrivado(ruta);
    Escritor escribe(f, ruta);
    EscribeSeccionesFijas(escribe, f.CadenaConexion);

    if (!f.ConectaBD()) {
      f.EscribeLog("No se pudo crear la estructura del archivo por no tener conexión con la BD.");
      AvisaCreado(v, ruta, false);
      return ruta;
    }

    frmSelTablas selector;
    std::vector<std::string> elegidas = Divide(selector.Tablas(f), ",");
    const std::int16_t total = AEntero16(static_cast<double>(elegidas.size()));
    for (std::int16_t k = 1; k <= total; ++k) {
      escribe("Tablas", "Total", std::to_string(total));
      escribe("Tablas", LectorDefiniciones::ClaveNumerada("Tabla", k), Recorta(elegidas[k - 1]));
    }
    for (const std::string& seccion : elegidas) EscribeSeccionTabla(f, escribe, ruta, seccion);

    EscribePlaneacionFaltas(escribe);
    AvisaCreado(v, ruta, true);
    return ruta;
  } catch (const std::exception&) {
    // Whatever was written stays; the run gets no file to import with.
    return "";
  }
}

}  // namespace varlo
