#include "app/Arranque.h"

#include <iostream>

#include "app/frmMain.h"
#include "common/Interrupcion.h"
#include "common/Plataforma.h"

namespace varlo {

void PreparaProceso() {
  AbreDescriptoresEstandar();
  InstalaManejadoresInterrupcion();
}

std::optional<int> FijaCarpetaPrograma(const Argumentos& a, const std::string& programa) {
  const std::string carpeta = EligeCarpetaPrograma(FuentesDelProceso(a.carpeta));
  std::string motivo =
      carpeta.empty() ? "no hay carpeta personal (HOME); use --carpeta" : PreparaCarpeta(carpeta);
  if (!motivo.empty()) {
    std::cerr << programa << ": no se puede usar la carpeta del programa (" << carpeta
              << "): " << motivo << "\n";
    return 2;
  }
  EstableceCarpetaPrograma(carpeta);
  return std::nullopt;
}

void AplicaArgumentos(frmMain& f, const Argumentos& a) {
  f.EstableceModoFotos(a.fotos);
  f.opciones = a.opciones;
}

void InformaFin(const frmMain& f, int estado, const std::string& errorFatal, std::ostream& err) {
  if (!errorFatal.empty()) err << errorFatal << "\n";
  if (!f.MotivoFin().empty()) err << f.MotivoFin() << "\n";
  if (estado != 0 && !f.Bitacora().empty()) err << "Vea la bitácora: " << f.Bitacora() << "\n";
  err.flush();
}

}  // namespace varlo
