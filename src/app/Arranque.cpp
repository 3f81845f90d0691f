#include "app/Arranque.h"

#include <iostream>

#include "app/TextoFin.h"
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

FinCorrida DescribeFin(const frmMain& f, int estado, const std::string& errorFatal,
                       bool titularSiLimpia) {
  FinCorrida fin;
  if (!errorFatal.empty()) fin.avisos.push_back(errorFatal);
  if (!f.MotivoFin().empty()) fin.avisos.push_back(f.MotivoFin());
  if (estado == 0 && !titularSiLimpia) return fin;
  fin.titular = TextoFin(estado);
  if (estado != 0 && !f.Bitacora().empty()) fin.titular += ". Vea la bitácora: " + f.Bitacora();
  return fin;
}

void InformaFin(const frmMain& f, int estado, const std::string& errorFatal, std::ostream& err) {
  const FinCorrida fin = DescribeFin(f, estado, errorFatal, false);
  for (const std::string& aviso : fin.avisos) err << aviso << "\n";
  if (!fin.titular.empty()) err << fin.titular << "\n";
  err.flush();
}

}  // namespace varlo
