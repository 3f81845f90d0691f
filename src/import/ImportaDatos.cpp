#include "import/ImportaDatos.h"

#include <filesystem>
#include <memory>

#include "common/ErrorVarlo.h"
#include "common/LectorLineas.h"
#include "common/Numeros.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Corrida.h"
#include "db/Recordset.h"
#include "definitions/LectorDefiniciones.h"
#include "images/cls_ADODBServices.h"
#include "import/ConsultaBusqueda.h"
#include "import/DefinicionTabla.h"
#include "import/EscrituraRegistro.h"
#include "import/PlanColumnas.h"
#include "import/ResultadosTabla.h"

namespace varlo {

namespace {

std::string Decimal(double n) {
  return std::to_string(static_cast<long long>(n));
}

// A lookup whose record was abandoned still holds its change: dropped here,
// so nothing of it reaches the database.
void CierraBusqueda(db::Recordset& rs) noexcept {
  try {
    if (rs.State() == 1 && rs.EditMode() != db::Recordset::adEditNone) rs.CancelUpdate();
    rs.Close();
  } catch (...) {
  }
}

// Why a table ends: it is done (or skipped), or the whole run must stop.
enum class FinTabla { Siguiente, TerminaCorrida };

class ImportacionTablas {
 public:
  explicit ImportacionTablas(Corrida& f)
      : f_(f), ventana_(f.ventana()), ini_(f.oIni(), f.ArchivoDefiniciones) {}

  void Ejecuta();

 private:
  FinTabla PasoTabla(std::int16_t i);
  void Sondea(DefinicionTabla& d);
  FinTabla CuerpoTabla(DefinicionTabla& d);
  void ImportaRegistros(DefinicionTabla& d, LectorLineas& lector);

  Corrida& f_;
  Ventana& ventana_;
  LectorDefiniciones ini_;
  ResultadosTabla resultados_;
};

void ImportacionTablas::Ejecuta() {
  f_.EscribeLog(">Inicio de importación");
  try {
    if (Recorta(f_.ArchivoDefiniciones).empty()) {
      f_.EscribeLog("No se especificó archivo de definiciones");
    } else if (f_.ConectaBD()) {
      ventana_.EstableceEstado("Obteniendo información del archivo de definiciones (" +
                               Recorta(f_.ArchivoDefiniciones) + ")...");
      std::int16_t total = ini_.NumeroEstricto("Tablas", "Total", "1");
      if (total == 0) {
        f_.EscribeLog("Con 0 tablas definidas");
      } else {
        bool terminada = true;
        for (std::int16_t i = 1; i >= 1 && i <= total; ++i) {
          if (PasoTabla(i) == FinTabla::TerminaCorrida) {
            terminada = false;
            break;
          }
          if (i == 32767) break;
        }
        if (terminada) ventana_.EstableceEstado("...Importación terminada!");
      }
    }
  } catch (...) {
    f_.EscribeError(ErrorCapturado());
  }
  resultados_.Cierra();
  f_.EscribeLog("Fin de importación");
}

FinTabla ImportacionTablas::PasoTabla(std::int16_t i) {
  DefinicionTabla d;
  d.Tabla = ini_.Texto("Tablas", LectorDefiniciones::ClaveNumerada("Tabla", i), "Empleado");
  if (EstaEnBlanco(d.Tabla)) {
    f_.EscribeLog("No tiene nombre definido para la tabla " + std::to_string(i));
    f_.NotaError();
    return FinTabla::Siguiente;
  }
  // The table scope: what fails here is logged and the table is skipped.
  try {
    Sondea(d);
    return CuerpoTabla(d);
  } catch (...) {
    ErrorVarlo e = ErrorCapturado();
    resultados_.Cierra();
    f_.EscribeError(e);
    return FinTabla::Siguiente;
  }
}

void ImportacionTablas::Sondea(DefinicionTabla& d) {
  db::Consulta sonda;
  sonda.select = "Select ";
  sonda.top = 0;
  sonda.from = " from ";
  sonda.tabla = Recorta(d.Tabla);
  auto rs = f_.cnBaseDatos()->AbreConsulta(sonda, 1);
  for (int c = 0; c < rs->FieldCount(); ++c) {
    d.NombresTabla.push_back(rs->Field(c).nombre);
    d.TiposTabla.push_back(rs->Field(c).tipo);
  }
  rs->Close();
}

FinTabla ImportacionTablas::CuerpoTabla(DefinicionTabla& d) {
  const std::string carpetaLog = UneRuta(CarpetaPrograma(), "Log");
  d.ArchivoEr = UneRuta(carpetaLog, d.Tabla + "_Er.txt");
  d.ArchivoOk = UneRuta(carpetaLog, d.Tabla + "_Ok.txt");
  resultados_.Inicia(d.ArchivoEr, f_.ReporteEmpleadosNoImportados == 1, d.ArchivoOk,
                     f_.ReporteEmpleadosImportados == 1);

  d.NombreIndice = ini_.Texto(d.Tabla, "NombreIndice", "ID_Empleado");
  d.BorrarAntes = ini_.InterruptorTexto(d.Tabla, "Borrar antes de importar", "0");
  d.Indices = Divide(d.NombreIndice, ",");
  d.Origen = ini_.Texto(d.Tabla, "Origen", UneRuta(CarpetaPrograma(), d.Tabla + ".txt"));
  d.ColumnaJerarquia = ini_.EnteroTruncado(d.Tabla, "Jerarquia unica en columna", "0");
  d.Mascara = MascaraFecha::Desde(ini_.Texto(d.Tabla, "FormatoFecha", "YYYY-MM-DD"));
  std::string carpeta = CarpetaPadre(d.Origen);
  const std::string sinBlancos = RecortaDer(carpeta);
  d.DirectorioOrigen = carpeta.empty() || (!sinBlancos.empty() && sinBlancos.back() == kSeparador)
                           ? carpeta
                           : carpeta + kSeparador;

  d.Columnas = ini_.Numero(d.Tabla, "Columnas", "0");
  if (d.Columnas == 0) {
    f_.EscribeLog("Con 0 columnas definidas");
    return FinTabla::Siguiente;
  }
  if (!ConstruyePlan(ini_, d)) {
    f_.EscribeLog("No tiene definida ni una sola columna");
    f_.NotaError();
    return FinTabla::TerminaCorrida;
  }
  // A key that no column carries would make every lookup fail: the table is
  // skipped before any record is read.
  if (auto llave = IndiceSinColumna(d)) {
    f_.EscribeLog("No tiene definida la columna índice (" + *llave + ")");
    f_.NotaError();
    return FinTabla::Siguiente;
  }

  std::error_code ec;
  if (!std::filesystem::is_regular_file(d.Origen, ec)) {
    // a table that was configured but could not be read is not a clean run
    f_.EscribeLog("Archivo origen no existe (" + d.Origen + ")");
    f_.NotaError();
    return FinTabla::Siguiente;
  }
  ventana_.EstableceEstado("Abriendo archivo origen (" + d.Origen + ")...");
  d.TotalLineas = AEntero32(static_cast<double>(LectorLineas::CuentaLineas(d.Origen)));
  if (d.TotalLineas > 0) ventana_.EstableceMaximo(d.TotalLineas);
  ventana_.EstableceValor(0);

  LectorLineas lector(d.Origen);
  resultados_.EstableceCodificacion(lector.CodificacionArchivo());

  if (d.BorrarAntes) {
    // A failing delete is logged; the import goes on over the existing rows.
    try {
      f_.cnBaseDatos()->Execute(f_.cnBaseDatos()->DialectoBD().DeleteFrom(d.Tabla));
    } catch (...) {
      f_.EscribeError(ErrorCapturado());
    }
  }

  ventana_.EstableceEstado("Importando datos (" + d.Tabla + ")...");
  ImportaRegistros(d, lector);
  lector.Close();
  resultados_.Cierra();
  return FinTabla::Siguiente;
}

void ImportacionTablas::ImportaRegistros(DefinicionTabla& d, LectorLineas& lector) {
  db::Conexion& cn = *f_.cnBaseDatos();
  ConsultaBusqueda busqueda(d);
  cls_ADODBServices imagenes(ventana_);
  EscrituraRegistro escritura(d, cn, imagenes);
  const DivisorLineas divisor = DivisorDe(d);
  const std::string estado = "Importando datos (" + d.Tabla + ")... (";
  std::vector<std::string> valores;

  while (!lector.AtEndOfStream()) {
    ventana_.EstableceEstado(estado + Decimal(ventana_.Valor() + 1) + " de " +
                             Decimal(ventana_.Maximo()) + ")");
    ventana_.ProcesaEventos();
    const std::string linea = lector.ReadLine();

    // The record scope: whatever one record does wrong goes to its "_Er.txt"
    // line; the import goes on with the next record.
    ResultadoRegistro r;
    std::unique_ptr<db::Recordset> rs;
    try {
      lector.CompruebaLinea();
      divisor.Divide(linea, valores);
      rs = cn.AbreConsulta(busqueda.Para(valores), 1);
      r = escritura.Escribe(*rs, valores);
    } catch (...) {
      r.rechazos.push_back({ErrorCapturado().Descripcion(), 0});
    }
    if (rs) CierraBusqueda(*rs);
    if (r.Importado()) {
      resultados_.Importado(linea);
    } else {
      f_.NotaRechazo();
      resultados_.Rechazado(linea, r.rechazos);
    }
    ventana_.EstableceValor(ventana_.Valor() + 1);
  }
}

}  // namespace

void ImportaDatos(Corrida& f) {
  ImportacionTablas(f).Ejecuta();
}

}  // namespace varlo
