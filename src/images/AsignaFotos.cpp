#include "images/AsignaFotos.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Corrida.h"
#include "definitions/LectorDefiniciones.h"
#include "images/NombreFoto.h"
#include "images/cls_ADODBServices.h"

namespace varlo {

namespace {

constexpr const char* kSeccion = "Empleado";
// The table the pictures go to, which names the run's summary.
constexpr const char* kTabla = "Fotos_Empleados";

// A folder of the definitions file ends in the native separator; on Windows
// "/" ends it as well. On POSIX a final "\" is part of the name.
std::string TerminaEnSeparador(const std::string& carpeta) {
  const char ultimo = carpeta.back();
#ifdef _WIN32
  if (ultimo == '\\' || ultimo == '/') return carpeta;
#else
  if (ultimo == kSeparador) return carpeta;
#endif
  return carpeta + kSeparador;
}

enum class FotoGuardada { No, Agregada, Actualizada };

// Stores one employee's picture; No when the file could not be stored
// (the image services have already said why).
FotoGuardada GuardaFoto(Corrida& f, cls_ADODBServices& imagenes, const std::string& idEmpleado,
                        const std::string& ruta) {
  std::unique_ptr<db::Recordset> fotos =
      f.cnBaseDatos()->AbreConsulta(ConsultaFotoEmpleado(idEmpleado), 0);
  const bool nueva = fotos->BOF() && fotos->EOF_();
  if (nueva) {
    fotos->AddNew();
    fotos->AsignaTexto(fotos->IndiceCampo("ID_Empleado"), idEmpleado);
  }
  // An unreadable file must neither add a row without a picture nor touch
  // the stored one.
  if (!imagenes.PutImageInField(*fotos, fotos->IndiceCampo("Foto"), ruta)) {
    fotos->CierraSinEscribir();
    return FotoGuardada::No;
  }
  fotos->Update();
  fotos->Close();
  return nueva ? FotoGuardada::Agregada : FotoGuardada::Actualizada;
}

// A dry run (--simular) stores each picture as a real run would, in one
// transaction rolled back when this goes, whatever ends the run.
class TransaccionSimulada {
 public:
  explicit TransaccionSimulada(db::Conexion& cn) : cn_(cn) { cn_.BeginTrans(); }
  ~TransaccionSimulada() { cn_.RollbackTrans(); }
  TransaccionSimulada(const TransaccionSimulada&) = delete;
  TransaccionSimulada& operator=(const TransaccionSimulada&) = delete;

 private:
  db::Conexion& cn_;
};

}  // namespace

db::Consulta ConsultaEmpleados() {
  db::Consulta c;
  c.select = "select ";
  c.from = " from ";
  c.tabla = "empleado";
  return c;
}

db::Consulta ConsultaFotoEmpleado(const std::string& idEmpleado) {
  return db::BuscaPorTexto("Fotos_Empleados", {}, "ID_Empleado", idEmpleado);
}

void AsignaFotos(Corrida& f) {
  Ventana& v = f.ventana();
  const auto inicio = std::chrono::steady_clock::now();
  // Per employee as per record: with no picture file (omitidas), its picture
  // added, replaced or not stored (rechazadas), or not reached (sinProcesar).
  ResumenImportacion r;
  r.simulado = f.opciones.simular;
  bool conResumen = false;
  long total = 0, vistos = 0;
  try {
    f.EscribeLog(">Inicio de asignación de fotografías");
    v.EstableceEstado("Preparando asignación de fotografías...");
    v.EstableceValor(0);

    LectorDefiniciones lector(f.oIni(), f.ArchivoDefiniciones);
    std::string directorio = lector.Texto(kSeccion, "DirectorioFotos", "");
    const std::string nombreFotos = lector.Texto(kSeccion, "NombreFotos", "");
    if (EstaEnBlanco(directorio) || EstaEnBlanco(nombreFotos)) {
      // asked for by name, the assignment that cannot start is not a success
      const std::string motivo = std::string("No se asignan fotografías: falta \"") +
                                 (EstaEnBlanco(directorio) ? "DirectorioFotos" : "NombreFotos") +
                                 "\" en la sección " + kSeccion + " del archivo de definiciones";
      f.EscribeLog(motivo);
      f.EscribeNoImportada(kTabla, motivo, false);
    } else if (f.ConectaBD()) {
      std::optional<TransaccionSimulada> simulacion;
      if (f.opciones.simular) simulacion.emplace(*f.cnBaseDatos());
      directorio = TerminaEnSeparador(Recorta(directorio));
      v.EstableceEstado("Obteniendo empleados de la base de datos...");
      std::unique_ptr<db::Recordset> empleados =
          f.cnBaseDatos()->AbreConsulta(ConsultaEmpleados(), 0);
      conResumen = true;
      if (empleados->BOF() && empleados->EOF_()) {
        f.EscribeLog("No tiene empleados registrados");
      } else {
        total = empleados->RecordCount();
        v.EstableceMaximo(total < 1 ? 1 : static_cast<double>(total));
        cls_ADODBServices imagenes(v);
        int campoId = -1, campoNombre = -1;
        // A stop asked for is honoured between employees: each picture is
        // stored by itself, and those stored before it stay.
        while (!empleados->EOF_() && !f.Interrumpida()) {
          std::string estado = "Asignando fotografías...";
          if (total > 0)
            estado += "(" + std::to_string(vistos + 1) + " de " + std::to_string(total) + ")";
          v.EstableceEstado(estado);
          v.ProcesaEventos();

          if (campoId < 0) {
            campoId = empleados->IndiceCampo("id_empleado");
            campoNombre = empleados->IndiceCampo(nombreFotos);
          }
          const std::string id = Recorta(empleados->Texto(campoId));
          const std::string ruta =
              ArchivoFotoEmpleado(f, directorio, Recorta(empleados->Texto(campoNombre)), id);
          // Only a file counts: a folder or a pipe of that name is passed over.
          std::error_code ec;
          if (ruta.empty()) {
            ++r.rechazadas;  // a name that would leave the folder, already said
          } else if (!std::filesystem::is_regular_file(ruta, ec)) {
            ++r.omitidas;
          } else {
            switch (GuardaFoto(f, imagenes, id, ruta)) {
              case FotoGuardada::Agregada:
                ++r.agregadas;
                break;
              case FotoGuardada::Actualizada:
                ++r.actualizadas;
                break;
              case FotoGuardada::No:
                ++r.rechazadas;
                f.EscribeAviso("No se pudo asignar la fotografía del empleado " + id + " (" + ruta +
                               ")");
                f.NotaRechazo();
                break;
            }
          }
          ++vistos;
          empleados->MoveNext();
          v.EstableceValor(total > 0 ? v.Valor() + 1 : v.Maximo());
        }
        if (f.Interrumpida()) {
          r.motivo = "Asignación de fotografías interrumpida después de " + std::to_string(vistos) +
                     (total > 0 ? " de " + std::to_string(total) : "") + " empleados";
          f.EscribeFalla(r.motivo);
        } else {
          v.EstableceEstado("...asignación de fotografías terminada!");
        }
      }
    }
  } catch (...) {
    const ErrorVarlo e = ErrorCapturado();
    f.EscribeError(e);
    r.motivo = LineaError(e);
  }
  if (conResumen) {
    // those not reached count where the number of employees is known
    r.leidas = std::max(total, vistos);
    r.sinProcesar = r.leidas - vistos;
    r.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    f.EscribeResumen(kTabla, r);
  }
  f.EscribeLog("Fin de asignación de fotografías");
}

}  // namespace varlo
