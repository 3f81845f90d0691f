#include "common/LectorLineas.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"

namespace varlo {

namespace {
// What is kept of a line past the limit: enough to find it in the source.
constexpr std::int64_t kCaracteresDeMuestra = 100;
// Bytes read from the file at a time.
constexpr std::size_t kBufer = std::size_t{64} << 10;

// The sample without a UTF-8 sequence the sample's end cut short.
std::string_view SinSecuenciaCortada(std::string_view s) {
  for (std::size_t atras = 1; atras <= 3 && atras <= s.size(); ++atras) {
    const auto b = static_cast<unsigned char>(s[s.size() - atras]);
    if (b < 0x80) return s;
    if (b >= 0xC0) {
      const std::size_t largo = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      return largo > atras ? s.substr(0, s.size() - atras) : s;
    }
  }
  return s;
}
}  // namespace

LectorLineas::LectorLineas(const std::string& ruta)
    : ruta_(ruta), archivo_(AbreArchivoRegular(ruta)) {
  std::string muestra(kMuestraDeteccion + 1, '\0');
  muestra.resize(std::fread(muestra.data(), 1, muestra.size(), archivo_.get()));
  CompruebaLectura();
  const bool hayMas = muestra.size() > kMuestraDeteccion;
  if (hayMas) muestra.resize(kMuestraDeteccion);
  long marca = 0;
  if (muestra.starts_with("\xEF\xBB\xBF")) {
    marca = 3;
    Usa(Codificacion::Utf8.ConMarca(true));
  } else if (muestra.starts_with("\xFF\xFE") || muestra.starts_with("\xFE\xFF")) {
    marca = 2;
    Usa(Codificacion::DeIconv(muestra[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE")->ConMarca(true));
  }
  conMarca_ = marca > 0;
  if (!conMarca_) {
    for (std::size_t i = 0; i < muestra.size(); ++i)
      if (muestra[i] == '\0') ++ceros_[i % 4];
    const std::string_view entera = hayMas ? SinSecuenciaCortada(muestra) : muestra;
    // a sequence the sample's end cuts still counts as one
    if (!SoloAscii(muestra) && EsUtf8Valido(entera)) Usa(Codificacion::Utf8);
  }
  if (std::fseek(archivo_.get(), marca, SEEK_SET) != 0)
    LanzaErrorEn(errores::ErrorEntradaSalida, ruta_);
}

namespace {
std::uint32_t Empaqueta(std::string_view bytes) {
  std::uint32_t v = 0;
  for (unsigned char b : bytes) v = v << 8 | b;
  return v;
}
}  // namespace

void LectorLineas::Usa(const Codificacion& c) {
  codificacion_ = c;
  cr_ = ParaArchivo("\r", c);
  lf_ = ParaArchivo("\n", c);
  crUnidad_ = Empaqueta(cr_);
  lfUnidad_ = Empaqueta(lf_);
}

void LectorLineas::EstableceCodificacion(const Codificacion& c) {
  if (conMarca_) return;
  if (!c.SinOrdenDeBytes()) {
    Usa(c.Unidad() > 1 ? c.ConMarca(true) : c);
    return;
  }
  // ASCII text has its NUL bytes in the high half of each unit
  const bool grande =
      c.Unidad() == 4 ? ceros_[0] > ceros_[3] : ceros_[0] + ceros_[2] > ceros_[1] + ceros_[3];
  const std::string nombre =
      std::string(c.Unidad() == 4 ? "UTF-32" : "UTF-16") + (grande ? "BE" : "LE");
  Usa(Codificacion::DeIconv(nombre)->ConMarca(true));
}

void LectorLineas::CompruebaLectura() const {
  if (std::ferror(archivo_.get())) LanzaErrorEn(errores::ErrorEntradaSalida, ruta_);
}

bool LectorLineas::Rellena() {
  if (posicion_ < llenos_) return true;
  if (!archivo_) return false;
  bufer_.resize(kBufer);
  posicion_ = 0;
  llenos_ = std::fread(bufer_.data(), 1, bufer_.size(), archivo_.get());
  if (llenos_ > 0) return true;
  CompruebaLectura();
  return false;
}

int LectorLineas::LeeByte() {
  if (!Rellena()) return EOF;
  return static_cast<unsigned char>(bufer_[posicion_++]);
}

bool LectorLineas::AtEndOfStream() {
  if (!archivo_) return true;
  return adelantada_.bytes == 0 && !Rellena();
}

LectorLineas::Unidad LectorLineas::LeeUnidad() {
  if (adelantada_.bytes > 0) return std::exchange(adelantada_, Unidad{});
  Unidad u;
  for (; u.bytes < codificacion_.Unidad(); ++u.bytes) {
    const int c = LeeByte();
    if (c == EOF) break;
    u.valor = u.valor << 8 | static_cast<unsigned char>(c);
  }
  return u;
}

std::string LectorLineas::ReadLine() {
  bruto_.clear();
  defecto_ = Defecto::Ninguno;
  finDeLinea_ = "";
  if (!archivo_) return bruto_;
  ++numeroLinea_;
  bool largo = false;
  const std::size_t tamUnidad = codificacion_.Unidad();
  if (tamUnidad == 1) {
    const char cr = cr_[0], lf = lf_[0];
    while (Rellena()) {
      // the line's bytes in this buffer, up to its end or the buffer's
      const char* inicio = bufer_.data() + posicion_;
      const char* const fin = bufer_.data() + llenos_;
      const char* p = inicio;
      while (p != fin && *p != cr && *p != lf) ++p;
      // past the limit the rest of the line is skipped, never held
      const auto n = static_cast<std::size_t>(p - inicio);
      const std::size_t cabe = kLargoMaximoLinea - std::min(bruto_.size(), kLargoMaximoLinea);
      bruto_.append(inicio, std::min(n, cabe));
      largo = largo || n > cabe;
      posicion_ += n;
      if (p == fin) continue;
      ++posicion_;
      if (*p == lf) {
        finDeLinea_ = "\n";
        break;
      }
      const int siguiente = LeeByte();
      // a byte read from the buffer can always go back to it
      if (siguiente != static_cast<unsigned char>(lf) && siguiente != EOF) --posicion_;
      finDeLinea_ = siguiente == static_cast<unsigned char>(lf) ? "\r\n" : "\r";
      break;
    }
  } else {
    // a unit cut short by the end of the file is never a line end
    const auto esFin = [&](const Unidad& u, std::uint32_t fin) {
      return u.bytes == tamUnidad && u.valor == fin;
    };
    for (Unidad u; (u = LeeUnidad()).bytes > 0;) {
      if (esFin(u, lfUnidad_)) {
        finDeLinea_ = "\n";
        break;
      }
      if (esFin(u, crUnidad_)) {
        const Unidad siguiente = LeeUnidad();
        if (siguiente.bytes > 0 && !esFin(siguiente, lfUnidad_)) adelantada_ = siguiente;
        finDeLinea_ = siguiente.bytes > 0 && esFin(siguiente, lfUnidad_) ? "\r\n" : "\r";
        break;
      }
      if (bruto_.size() >= kLargoMaximoLinea) {
        largo = true;
        continue;
      }
      for (std::size_t k = u.bytes; k-- > 0;) bruto_ += static_cast<char>(u.valor >> (8 * k));
    }
  }
  if (largo) {
    defecto_ = Defecto::Largo;
    const std::size_t corte = codificacion_ == Codificacion::Utf8
                                  ? AvanzaCaracteres(bruto_, 0, kCaracteresDeMuestra)
                                  : static_cast<std::size_t>(kCaracteresDeMuestra) * tamUnidad;
    bool valido = true;
    return DeArchivo(std::string_view(bruto_).substr(0, corte), codificacion_, valido) + "...";
  }
  bool valido = true;
  std::string texto = DeArchivo(bruto_, codificacion_, valido);
  // a NUL character is never text a column should get
  if (!valido || texto.find('\0') != std::string::npos) defecto_ = Defecto::Codificacion;
  return texto;
}

void LectorLineas::CompruebaLinea() const {
  switch (defecto_) {
    case Defecto::Ninguno:
      return;
    case Defecto::Codificacion:
      LanzaError(errores::TiposNoCoinciden,
                 "La línea no es texto " + NombreCodificacion(codificacion_) + " válido");
    case Defecto::Largo:
      LanzaError(errores::Desbordamiento, "La línea " + std::to_string(numeroLinea_) +
                                              " pasa del largo máximo de " +
                                              std::to_string(kLargoMaximoLinea) + " bytes");
  }
}

void LectorLineas::Close() {
  archivo_.reset();
  adelantada_ = Unidad{};
  posicion_ = llenos_ = 0;
}

void LectorLineas::RechazaNul() const {
  // ASCII text in UTF-16 has its NUL bytes in the high half of each unit
  const std::string probable =
      ceros_[0] + ceros_[2] > ceros_[1] + ceros_[3] ? "UTF-16BE" : "UTF-16LE";
  LanzaError(errores::TiposNoCoinciden, "El archivo origen tiene bytes NUL: parece " + probable +
                                            " sin marca de orden de bytes; indique Codificacion=" +
                                            probable + " en su sección (" + ruta_ + ")");
}

long LectorLineas::CuentaLineas(const std::string& ruta) {
  return CuentaLineas(ruta, std::nullopt);
}

long LectorLineas::CuentaLineas(const std::string& ruta, const std::optional<Codificacion>& clave) {
  LectorLineas l(ruta);
  if (clave) l.EstableceCodificacion(*clave);
  long lineas = 0;
  if (l.codificacion_.Unidad() > 1) {
    const std::size_t tamUnidad = l.codificacion_.Unidad();
    bool enLinea = false, trasCr = false;
    for (Unidad u; (u = l.LeeUnidad()).bytes > 0;) {
      const bool entera = u.bytes == tamUnidad;
      const bool esCr = entera && u.valor == l.crUnidad_, esLf = entera && u.valor == l.lfUnidad_;
      // CR LF is one line end, CR or LF alone one each
      if (esCr || (esLf && !trasCr)) ++lineas;
      enLinea = !esCr && !esLf;
      trasCr = esCr;
    }
    return enLinea ? lineas + 1 : lineas;  // a last line without its line end
  }
  std::FILE* f = l.archivo_.get();
  const int cr = static_cast<unsigned char>(l.cr_[0]), lf = static_cast<unsigned char>(l.lf_[0]);
  int anterior = lf;
  char buf[1 << 16];
  std::size_t n;
  // memchr runs over the buffer many bytes at a time: every CR ends a line,
  // an LF one unless it follows a CR
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (std::memchr(buf, 0, n)) l.RechazaNul();
    const char* fin = buf + n;
    for (const char* p = buf; (p = static_cast<const char*>(std::memchr(p, lf, fin - p))); ++p) {
      const int previo = p == buf ? anterior : static_cast<unsigned char>(p[-1]);
      if (previo != cr) ++lineas;
    }
    for (const char* p = buf; (p = static_cast<const char*>(std::memchr(p, cr, fin - p))); ++p)
      ++lineas;
    anterior = static_cast<unsigned char>(buf[n - 1]);
  }
  l.CompruebaLectura();
  if (anterior != lf && anterior != cr) ++lineas;
  return lineas;
}

}  // namespace varlo
