#include "common/Kelto_GEN_Trans.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>

#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "common/Plataforma.h"
#include "common/Texto.h"

namespace fs = std::filesystem;

namespace varlo {

namespace {
bool EsSeparadorArgumentos(char c) {
#ifdef _WIN32
  return c == '\t' || c == '/';
#else
  return c == '\t';  // "/" separates folders here, so a path must stay whole
#endif
}

std::string NombreBase(const std::string& ruta) {
  std::string nombre = ruta.substr(CarpetaPadre(ruta).size());
  if (!nombre.empty() && (nombre.front() == '/' || nombre.front() == '\\')) nombre.erase(0, 1);
  return nombre;
}
}  // namespace

std::vector<std::string> Kelto_GEN_Trans::GetCommandLine(std::string_view CommandLine,
                                                         int MaxArgs) const {
  if (MaxArgs < 1) LanzaError(errores::SubindiceFueraDeIntervalo);
  std::vector<std::string> args(static_cast<std::size_t>(MaxArgs));
  int cuenta = 0;
  bool dentro = false;
  for (char c : CommandLine) {
    if (!EsSeparadorArgumentos(c)) {
      if (!dentro) {
        if (cuenta == MaxArgs) break;
        ++cuenta;
        dentro = true;
      }
      args[static_cast<std::size_t>(cuenta - 1)] += c;
    } else {
      dentro = false;
    }
  }
  return args;
}

std::string Kelto_GEN_Trans::ArchivoMensual(const std::string& Archivo_Txt) {
  std::string carpeta = CarpetaPadre(Archivo_Txt);
  std::string nombre = NombreBase(Archivo_Txt);
  std::size_t punto = nombre.find_last_of('.');
  std::string base = punto == std::string::npos ? nombre : nombre.substr(0, punto);
  std::string extension = punto == std::string::npos ? "" : nombre.substr(punto + 1);
  std::string stem = base + "_" + FormatoMesAnio(Ahora());
  std::string prefijo = carpeta;
  std::string recortada = RecortaDer(carpeta);
  if (recortada.empty() || recortada.back() != kSeparador) prefijo += kSeparador;
  std::string sufijo;
  std::int16_t contador = 0;
  while (true) {
    std::string candidato = prefijo + stem + sufijo + "." + extension;
    std::error_code ec;
    if (!fs::exists(candidato, ec)) return candidato;
    auto tam = fs::file_size(candidato, ec);
    if (ec || tam < static_cast<std::uintmax_t>(kLimiteTamano)) return candidato;
    if (contador == std::numeric_limits<std::int16_t>::max()) LanzaError(errores::Desbordamiento);
    ++contador;
    sufijo = "(" + std::to_string(contador) + ")";
  }
}

void Kelto_GEN_Trans::Escribe_Txt(const std::string& Archivo_Txt, const std::string& Linea_Txt,
                                  bool Borro_Txt, bool solocrear_Txt, bool Control_Size,
                                  const Codificacion& codificacion) const {
  std::string carpeta = CarpetaPadre(Archivo_Txt);
  std::error_code ec;
  if (carpeta.empty()) LanzaError(errores::RutaNoEncontrada);
  if (!fs::is_directory(carpeta, ec)) {
    // only the last level is created: its own parent must exist
    if (!fs::create_directory(carpeta, ec) && !fs::is_directory(carpeta))
      LanzaError(errores::RutaNoEncontrada, "No se encontró la ruta de acceso (" + carpeta + ")");
  }
  if (Borro_Txt && fs::exists(Archivo_Txt, ec)) {
    fs::permissions(Archivo_Txt, fs::perms::owner_write, fs::perm_options::add, ec);
    if (!fs::remove(Archivo_Txt, ec) || ec) LanzaErrorEn(errores::PermisoDenegado, Archivo_Txt);
  }
  std::string destino = Control_Size ? ArchivoMensual(Archivo_Txt) : Archivo_Txt;
  std::ofstream f(destino, std::ios::binary | std::ios::app);
  if (!f) LanzaErrorEn(errores::ErrorAcceso, destino);
  if (!solocrear_Txt) {
    f << ParaArchivo(Linea_Txt + "\r\n", codificacion);
    f.flush();
    if (!f) LanzaErrorEn(errores::DiscoLleno, destino);
  }
}

}  // namespace varlo
