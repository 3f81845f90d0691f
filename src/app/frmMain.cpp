#include "app/frmMain.h"

#include <charconv>
#include <filesystem>

#include "common/ErrorSistema.h"
#include "common/Fechas.h"
#include "common/Interrupcion.h"
#include "common/Numeros.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "definitions/CreaArchivoDefiniciones.h"
#include "images/AsignaFotos.h"
#include "import/ImportaDatos.h"
#include "incidences/ImportaIncidencias.h"

namespace varlo {

frmMain::frmMain(Ventana& ventana, std::string lineaComandos)
    : ventana_(ventana), lineaComandos_(std::move(lineaComandos)) {}

frmMain::~frmMain() = default;

Kelto_API_INIFiles& frmMain::oIni() {
  if (!oIni_) oIni_ = std::make_unique<Kelto_API_INIFiles>();
  return *oIni_;
}

Kelto_GEN_Trans& frmMain::oTrans() {
  if (!oTrans_) oTrans_ = std::make_unique<Kelto_GEN_Trans>();
  return *oTrans_;
}

void frmMain::EstableceConexion(std::unique_ptr<db::Conexion> conexion) {
  cnBaseDatos_ = std::move(conexion);
}

std::string frmMain::ArchivoLog() {
  return UneRuta(UneRuta(CarpetaPrograma(), "Log"), std::string(kTituloAplicacion) + ".log");
}

void frmMain::Form_Load() {
  ventana_.EstableceEstado("");
  ventana_.EstableceValor(0);
  PrimeraActivacion = true;
}

void frmMain::Form_Activate() {
  ventana_.ProcesaEventos();
  if (!PrimeraActivacion) return;
  PrimeraActivacion = false;

  if (Recorta(lineaComandos_).empty()) {
    DialogoArchivo d;
    d.titulo = "Archivo de definiciones";
    d.extension = ".ini";
    d.carpetaInicial = CarpetaPrograma();
    d.filtro = "Archivos de definiciones (*.ini)|*.ini";
    ArchivoDefiniciones = ventana_.MuestraAbrir(d);
    ventana_.ProcesaEventos();
  } else {
    ArchivoDefiniciones = oTrans().GetCommandLine(lineaComandos_, 1)[0];
  }

  if (Recorta(ArchivoDefiniciones).empty()) {
    if (!InterrupcionPedida()) ArchivoDefiniciones = CreaArchivoDefiniciones();
    if (Recorta(ArchivoDefiniciones).empty()) {
      sinDefiniciones_ = true;
      terminado_ = true;
      return;
    }
  }

  // A stop asked for while a dialog or the generator was waiting ends the
  // run before it imports anything.
  if (InterrupcionPedida()) {
    terminado_ = true;
    return;
  }
  // Everything that ends the run with status 2 comes before the folder's
  // lock, and the lock before anything is written.
  if (!CompruebaDefiniciones()) return;
  LeeOpciones();
  if (!TomaCarpeta()) return;
  if (modoFotos_) {
    AsignaFotos();
  } else {
    ImportaDatos();
    // A lost database or an interruption ends the run with the tables.
    if (!huboPerdidaBD_ && !Interrumpida()) ImportaIncidencias();
    // Several imports, or a planning beside the tables, end with the total,
    // which names the imports that could not be done.
    if (importaciones_.size() > 1 || (conPlaneacion_ && !importaciones_.empty())) {
      const std::string linea = TextoResumenTotal(importaciones_);
      EscribeLog(linea);
      ventana_.MuestraResumen(linea);
    }
  }
  terminado_ = true;
}

bool frmMain::CompruebaDefiniciones() {
  std::error_code ec;
  if (std::filesystem::status(ArchivoDefiniciones, ec).type() ==
      std::filesystem::file_type::not_found)
    motivoFin_ = "No se encontró el archivo de definiciones (" + ArchivoDefiniciones + ")";
  else if (std::string motivo = MotivoNoLegible(ArchivoDefiniciones); !motivo.empty())
    motivoFin_ =
        "No se puede leer el archivo de definiciones (" + ArchivoDefiniciones + "): " + motivo;
  else
    return true;
  sinDefiniciones_ = true;
  terminado_ = true;
  return false;
}

bool frmMain::TomaCarpeta() {
  const std::string log = UneRuta(CarpetaPrograma(), "Log");
  std::error_code ec;
  if (!std::filesystem::is_directory(log, ec) && !std::filesystem::create_directory(log, ec) && ec)
    throw ErrorDeSistema(ec.value(), log);
  cerrojo_.emplace(UneRuta(log, ".varlodi.lock"));
  if (cerrojo_->Tomado()) return true;
  cerrojo_.reset();
  carpetaOcupada_ = true;
  terminado_ = true;
  motivoFin_ =
      "Otra corrida usa la carpeta del programa (" + CarpetaPrograma() + "); esta no hizo nada";
  return false;
}

bool frmMain::Interrumpida() const {
  return InterrupcionPedida();
}

int frmMain::EstadoSalida() const {
  if (InterrupcionPedida()) return 128 + SenalInterrupcion();
  if (errorFatal_ || sinDefiniciones_) return 2;
  if (carpetaOcupada_) return 5;
  if (huboPerdidaBD_) return 3;
  if (huboErrores_) return 4;
  if (huboRechazos_) return 1;
  return 0;
}

void frmMain::LeeOpciones() {
  auto lee = [this](const char* clave, const char* porDefecto) {
    return AEntero16(LeeNumero(
        oIni().API_GetPrivateProfileString(ArchivoDefiniciones, "Opciones", clave, porDefecto)));
  };
  MostrarMensajes = lee("MostrarMensajes", "0");
  ReporteLog = lee("ReporteLog", "1");
  ReporteEmpleadosImportados = lee("ReporteEmpleadosImportados", "1");
  ReporteEmpleadosNoImportados = lee("ReporteEmpleadosNoImportados", "1");
}

void frmMain::EscribeLog(const std::string& pMensaje) {
  std::string mensaje = pMensaje;
  if (ReporteLog == 1) {
    mensaje = pMensaje + " (" + FormatoFechaGeneral(Ahora()) + ")";
    const std::string destino = Kelto_GEN_Trans::ArchivoMensual(ArchivoLog());
    oTrans().Escribe_Txt(ArchivoLog(), mensaje, false, false, true);
    bitacora_ = destino;
  }
  if (MostrarMensajes == 1)
    ventana_.MuestraMensaje(mensaje, Botones::Aceptar, Icono::Ninguno, kTituloAplicacion);
}

void frmMain::EscribeError(const ErrorVarlo& e) {
  huboErrores_ = true;
  const std::string linea = LineaError(e);
  AvisaError(linea);
  EscribeLog(linea);
}

void frmMain::AvisaError(const std::string& linea) {
  // first, so it is seen even when the log cannot be written; a box shows it anyway
  if (avisoError_ && MostrarMensajes != 1) avisoError_(linea);
}

void frmMain::EscribeFalla(const std::string& linea) {
  huboErrores_ = true;
  EscribeAviso(linea);
}

void frmMain::EscribeAviso(const std::string& linea) {
  AvisaError(linea);
  EscribeLog(linea);
}

void frmMain::AnotaImportacion(ImportacionCorrida i, const std::string& linea) {
  EscribeLog(linea);
  ventana_.MuestraResumen(linea);
  ventana_.MuestraImportacion(i);
  importaciones_.push_back(std::move(i));
}

void frmMain::EscribeResumen(const std::string& nombre, const ResumenImportacion& r) {
  ImportacionCorrida i{nombre, EstadoImportacion::Importada, r.motivo, r};
  if (!r.motivo.empty()) i.estado = EstadoImportacion::Incompleta;
  if (r.deshecha) i.estado = EstadoImportacion::Deshecha;
  conPlaneacion_ = conPlaneacion_ || r.porDias;
  AnotaImportacion(std::move(i), TextoResumen(nombre, r));
}

void frmMain::EscribeNoImportada(const std::string& nombre, const std::string& motivo,
                                 bool planeacion) {
  huboErrores_ = true;
  ImportacionCorrida i{nombre, EstadoImportacion::NoImportada, motivo, {}};
  i.cuentas.porDias = planeacion;
  i.cuentas.simulado = opciones.simular;
  conPlaneacion_ = conPlaneacion_ || planeacion;
  AnotaImportacion(std::move(i), TextoNoImportada(nombre, motivo, opciones.simular));
}

void frmMain::AvanceImportacion(const std::string& nombre, const ResumenImportacion& r) {
  ventana_.MuestraAvance(nombre, r);
}

// The waits of the connection, in whole seconds; a value that is not a
// positive number keeps the default.
db::Esperas frmMain::LeeEsperas() {
  db::Esperas esperas;
  auto segundos = [](const std::string& texto, std::chrono::seconds& espera) {
    long n = 0;
    const std::string t = Recorta(texto);
    const auto [fin, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
    if (ec == std::errc() && fin == t.data() + t.size() && n > 0 && n <= 86400)
      espera = std::chrono::seconds(n);
  };
  segundos(oIni().API_GetPrivateProfileString(ArchivoDefiniciones, "Base de Datos",
                                              "EsperaConexion", ""),
           esperas.conexion);
  segundos(oIni().API_GetPrivateProfileString(ArchivoDefiniciones, "Base de Datos",
                                              "EsperaSentencia", ""),
           esperas.sentencia);
  return esperas;
}

bool frmMain::ConectaBD() {
  try {
    if (cnBaseDatos_ && cnBaseDatos_->State() == 1) return true;
    ventana_.EstableceEstado("Conectando con la base de datos...");
    if (Recorta(CadenaConexion).empty())
      CadenaConexion =
          oIni().API_GetPrivateProfileString(ArchivoDefiniciones, "Base de Datos", "Conexion", "");
    cnBaseDatos_.reset();
    cnBaseDatos_ = db::Conexion::Abre(CadenaConexion, LeeEsperas());
    if (cnBaseDatos_ && cnBaseDatos_->State() != 0) return true;
    huboErrores_ = true;
    NotaBaseDatosPerdida();
    AvisaError("No se logró conectar con la base de datos");
    EscribeLog("No se logró conectar con la base de datos");
    return false;
  } catch (...) {
    cnBaseDatos_.reset();
    NotaBaseDatosPerdida();
    EscribeError(ErrorCapturado());
    return false;
  }
}

void frmMain::ImportaDatos() {
  varlo::ImportaDatos(*this);
}
void frmMain::ImportaIncidencias() {
  varlo::ImportaIncidencias(*this);
}
std::string frmMain::CreaArchivoDefiniciones() {
  return varlo::CreaArchivoDefiniciones(*this);
}
void frmMain::AsignaFotos() {
  varlo::AsignaFotos(*this);
}

}  // namespace varlo
