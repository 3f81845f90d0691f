#include "import/LectorRegistros.h"

#include <cstdio>
#include <limits>

#include "common/ArchivoRegular.h"

namespace varlo {

namespace {
// A line past the limit was cut short: what it holds after the cut is unknown.
bool Cortada(const std::optional<ErrorVarlo>& defecto) {
  return defecto && defecto->Numero() == errores::Desbordamiento;
}

// The lines of a file whose encoding keeps ASCII bytes, each walked for
// quotes as its text would be: when none leaves a quoted value open (or is
// past the limit), each is a record. Nothing otherwise: only the full
// reading tells where its records end.
std::optional<long> LineasSinComillasAbiertas(const std::string& ruta,
                                              const DivisorComillas& comillas) {
  ArchivoC archivo = AbreArchivoRegular(ruta);
  std::string partida;  // a line that began in an earlier block
  long lineas = 0;
  char anterior = '\n';  // the last byte of the blocks before
  // a line past the limit is left to the reader, which holds no more of it
  const auto sinAbrir = [&](std::string_view linea) {
    ++lineas;
    DivisorComillas::Recorrido r;
    if (linea.find(comillas.Comillas()) != std::string_view::npos) comillas.Recorre(linea, r);
    return !r.abierta && linea.size() <= LectorLineas::kLargoMaximoLinea;
  };
  char buf[1 << 16];
  std::size_t n;
  for (bool primero = true; (n = std::fread(buf, 1, sizeof buf, archivo.get())) > 0;
       primero = false) {
    std::string_view bloque(buf, n);
    if (primero && bloque.starts_with("\xEF\xBB\xBF")) bloque.remove_prefix(3);
    std::size_t inicio = 0;
    for (std::size_t i = 0;; inicio = ++i) {
      while (i < bloque.size() && bloque[i] != '\r' && bloque[i] != '\n') ++i;
      if (i == bloque.size()) break;
      // the LF of a CR LF pair ends nothing more
      if (bloque[i] == '\n' && (i > 0 ? bloque[i - 1] : anterior) == '\r') continue;
      std::string_view linea = bloque.substr(inicio, i - inicio);
      if (!partida.empty()) linea = partida += linea;
      if (!sinAbrir(linea)) return std::nullopt;
      partida.clear();
    }
    partida += bloque.substr(inicio);
    if (partida.size() > LectorLineas::kLargoMaximoLinea) return std::nullopt;
    if (!bloque.empty()) anterior = bloque.back();
  }
  if (std::ferror(archivo.get())) return std::nullopt;
  // a last line without its line end
  if (anterior != '\n' && anterior != '\r' && !sinAbrir(partida)) return std::nullopt;
  return lineas;
}
}  // namespace

LectorRegistros::LectorRegistros(const std::string& ruta, const DivisorLineas& divisor)
    : lector_(ruta) {
  if (const DivisorComillas* c = divisor.Comillas()) comillas_ = *c;
}

LectorRegistros::Fisica LectorRegistros::Siguiente() {
  Fisica f;
  if (!devueltas_.empty()) {
    f = std::move(devueltas_.front());
    devueltas_.pop_front();
    return f;
  }
  f.texto = lector_.ReadLine();
  f.numero = lector_.NumeroLinea();
  try {
    lector_.CompruebaLinea();
  } catch (const ErrorVarlo& e) {
    f.defecto = e;
  }
  f.fin = lector_.FinDeLinea();
  return f;
}

LineaLeida LectorRegistros::Lee() {
  LineaLeida r;
  Fisica f = Siguiente();
  r.texto = std::move(f.texto);
  r.linea = f.numero;
  r.defecto = std::move(f.defecto);
  // A line cut short is not followed, and one without the quote is a record as it stands.
  if (!comillas_ || Cortada(r.defecto) || r.texto.find(comillas_->Comillas()) == std::string::npos)
    return r;
  DivisorComillas::Recorrido recorrido;
  comillas_->Recorre(r.texto, recorrido);
  const std::size_t largoPrimera = r.texto.size();
  std::string_view fin = f.fin;    // of the last line taken, added when another follows
  std::vector<Fisica> siguientes;  // the lines after the first
  // Only the line where the quote opened is rejected; the lines after it are
  // read again as records of their own.
  const auto sinCerrar = [&](long numero, const std::string& donde) {
    devueltas_.insert(devueltas_.begin(), std::make_move_iterator(siguientes.begin()),
                      std::make_move_iterator(siguientes.end()));
    r.texto.resize(largoPrimera);
    r.defecto = ErrorVarlo(
        numero, kFuentePrograma,
        "Las comillas abiertas en la línea " + std::to_string(r.linea) + " no se cierran" + donde);
    return std::move(r);
  };
  // A quoted value with a line break goes on over the next lines.
  while (recorrido.abierta) {
    if (AtEndOfStream()) return sinCerrar(errores::TiposNoCoinciden, "");
    const Fisica& g = siguientes.emplace_back(Siguiente());
    r.texto += fin;
    fin = g.fin;
    if (!Cortada(g.defecto) &&
        r.texto.size() + g.texto.size() + g.fin.size() > kLargoMaximoRegistro)
      return sinCerrar(
          errores::Desbordamiento,
          " dentro del largo máximo de " + std::to_string(kLargoMaximoRegistro) + " bytes");
    r.texto += g.texto;
    if (g.defecto && !r.defecto) r.defecto = g.defecto;
    // The record ends at a line cut short; its reason names that line.
    if (Cortada(g.defecto)) break;
    comillas_->Recorre(g.texto, recorrido);
  }
  if (recorrido.columnaMala != 0 && !r.defecto)
    r.defecto = ErrorVarlo(errores::TiposNoCoinciden, kFuentePrograma, recorrido.TextoTrasCierre());
  return r;
}

long LectorRegistros::Salta(long n) {
  long saltados = 0;
  for (; saltados < n && !AtEndOfStream(); ++saltados) Lee();
  return saltados;
}

long LectorRegistros::Cuenta(const std::string& ruta, const DivisorLineas& divisor,
                             std::optional<Codificacion> codificacion) {
  // the line count also refuses a file that is UTF-16 without a mark
  const long lineas = LectorLineas::CuentaLineas(ruta, codificacion);
  if (!divisor.Comillas()) return lineas;
  LectorRegistros l(ruta, divisor);
  if (codificacion) l.Lineas().EstableceCodificacion(*codificacion);
  // Most files quote values without line breaks: their lines are counted
  // from the bytes, without converting their text.
  const Codificacion c = l.Lineas().CodificacionArchivo();
  if ((c == Codificacion::Ansi || c == Codificacion::Utf8) && divisor.Comillas()->EsAscii())
    if (std::optional<long> lineas = LineasSinComillasAbiertas(ruta, *divisor.Comillas()))
      return *lineas;
  return l.Salta(std::numeric_limits<long>::max());
}

}  // namespace varlo
