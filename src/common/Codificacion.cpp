#include "common/Codificacion.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace varlo {

namespace {
// An iconv descriptor, closed with its owner.
class Convertidor {
 public:
  Convertidor(const char* a, const char* de) : cd_(iconv_open(a, de)) {}
  ~Convertidor() {
    if (Abierto()) iconv_close(cd_);
  }
  Convertidor(const Convertidor&) = delete;
  Convertidor& operator=(const Convertidor&) = delete;
  bool Abierto() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; `sustituto` is called for every input sequence the target
  // cannot take (or that is invalid, or cut at the end) and returns what to
  // put in its place, setting how many input bytes it stands for.
  template <class Sustituto>
  std::string Convierte(std::string_view in, Sustituto sustituto) {
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t usado = 0;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    // the last pass, without input, ends a shift state the target may be in
    for (bool vaciado = false; !vaciado;) {
      char* dst = out.data() + usado;
      std::size_t dstLeft = out.size() - usado;
      const bool fin = srcLeft == 0;
      std::size_t r = fin ? iconv(cd_, nullptr, nullptr, &dst, &dstLeft)
                          : iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      usado = out.size() - dstLeft;
      if (r != static_cast<std::size_t>(-1)) {
        vaciado = fin;
      } else if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else if (fin) {
        vaciado = true;
      } else {  // EILSEQ or EINVAL: replace one input sequence
        std::size_t saltar = 1;
        std::string repl = sustituto(std::string_view(src, srcLeft), saltar);
        if (saltar > srcLeft) saltar = srcLeft;
        src += saltar;
        srcLeft -= saltar;
        if (out.size() - usado < repl.size() + 16) out.resize(out.size() * 2 + repl.size());
        out.replace(usado, repl.size(), repl);
        usado += repl.size();
      }
    }
    out.resize(usado);
    return out;
  }

 private:
  iconv_t cd_;
};

Convertidor& Abre(const std::string& a, const std::string& de) {
  // one descriptor per pair and thread, opened on first use
  thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<Convertidor>> abiertos;
  auto& c = abiertos[{a, de}];
  if (!c) {
    c = std::make_unique<Convertidor>(a.c_str(), de.c_str());
    if (!c->Abierto()) throw std::runtime_error("iconv no convierte " + de + " a " + a);
  }
  return *c;
}

Convertidor& DesdeAnsi() {
  thread_local Convertidor c("UTF-8", "CP1252");
  return c;
}
Convertidor& HaciaAnsi() {
  thread_local Convertidor c("CP1252", "UTF-8");
  return c;
}

// Length of the UTF-8 sequence at the start of `s`; 1 for an invalid byte,
// so that only that byte is replaced.
std::size_t LargoSecuenciaUtf8(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  std::size_t n = c >= 0xF8 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (n > s.size()) return 1;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
  return n;
}

bool EsIndefinidoEnAnsi(unsigned char b) {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// A byte that is not text, carried in UTF-8 as the lone surrogate U+DC00 + byte.
std::string Escapa(unsigned char b) {
  const unsigned cp = 0xDC00u + b;
  return {static_cast<char>(0xED), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
          static_cast<char>(0x80 | (cp & 0x3F))};
}
bool EsEscape(std::string_view s, std::size_t i) {
  return i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xED &&
         static_cast<unsigned char>(s[i + 1]) >= 0xB0 &&
         static_cast<unsigned char>(s[i + 1]) <= 0xB3;
}
char ByteDeEscape(std::string_view s, std::size_t i) {
  return static_cast<char>(((static_cast<unsigned char>(s[i + 1]) & 0x03) << 6) |
                           (static_cast<unsigned char>(s[i + 2]) & 0x3F));
}

// Text of an iconv encoding in UTF-8; `valido` says whether every byte was text.
std::string DesdeIconv(std::string_view bytes, const Codificacion& c, bool& valido) {
  valido = true;
  return Abre("UTF-8", c.Nombre())
      .Convierte(bytes, [&](std::string_view resto, std::size_t& saltar) {
        valido = false;
        saltar = std::min(c.Unidad(), resto.size());
        std::string r;
        for (std::size_t i = 0; i < saltar; ++i) r += Escapa(static_cast<unsigned char>(resto[i]));
        return r;
      });
}

std::string HaciaIconv(std::string_view utf8, const Codificacion& c) {
  Convertidor& cv = Abre(c.Nombre(), "UTF-8");
  const std::string interrogacion =
      cv.Convierte("?", [](std::string_view, std::size_t&) { return std::string("?"); });
  auto tramo = [&](std::string_view t) {
    return cv.Convierte(t, [&](std::string_view resto, std::size_t& saltar) {
      saltar = LargoSecuenciaUtf8(resto);
      return interrogacion;
    });
  };
  std::string r;
  std::size_t inicio = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (!EsEscape(utf8, i)) continue;
    r += tramo(utf8.substr(inicio, i - inicio));
    r += ByteDeEscape(utf8, i);
    i += 2;
    inicio = i + 1;
  }
  return r + tramo(utf8.substr(inicio));
}

std::string Mayusculas(std::string_view nombre) {
  std::string n;
  for (char c : nombre)
    if (c != ' ') n += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return n;
}
}  // namespace

std::optional<Codificacion> Codificacion::DeIconv(std::string_view nombre) {
  const std::string n = Mayusculas(nombre);
  if (n.empty()) return std::nullopt;
  {
    Convertidor ida(n.c_str(), "UTF-8"), vuelta("UTF-8", n.c_str());
    if (!ida.Abierto() || !vuelta.Abierto()) return std::nullopt;
  }
  // the size of a code unit: what one more character adds
  const auto sinSustituto = [](std::string_view, std::size_t&) { return std::string(); };
  Convertidor& cv = Abre(n, "UTF-8");
  const std::size_t uno = cv.Convierte("\r", sinSustituto).size();
  const std::size_t dos = cv.Convierte("\r\r", sinSustituto).size();
  const std::size_t unidad = dos > uno && dos - uno <= 4 ? dos - uno : 1;
  return Codificacion(Tipo::Iconv, n, unidad);
}

bool Codificacion::SinOrdenDeBytes() const {
  return tipo_ == Tipo::Iconv &&
         (nombre_ == "UTF-16" || nombre_ == "UTF16" || nombre_ == "UCS-2" || nombre_ == "UCS2" ||
          nombre_ == "UTF-32" || nombre_ == "UTF32" || nombre_ == "UCS-4" || nombre_ == "UCS4");
}

std::string AnsiAUtf8(std::string_view ansi) {
  // The five bytes that Windows-1252 leaves undefined pass through as the C1
  // control characters of the same code, as Windows itself maps them.
  return DesdeAnsi().Convierte(ansi, [](std::string_view resto, std::size_t& saltar) {
    saltar = 1;
    unsigned char b = static_cast<unsigned char>(resto[0]);
    std::string r;
    r += static_cast<char>(0xC0 | (b >> 6));
    r += static_cast<char>(0x80 | (b & 0x3F));
    return r;
  });
}

std::string Utf8AAnsi(std::string_view utf8) {
  return HaciaAnsi().Convierte(utf8, [](std::string_view resto, std::size_t& saltar) {
    saltar = LargoSecuenciaUtf8(resto);
    // the five bytes Windows-1252 leaves undefined go back as they came
    if (saltar == 2 && static_cast<unsigned char>(resto[0]) == 0xC2) {
      unsigned char b = static_cast<unsigned char>(resto[1]);
      if (EsIndefinidoEnAnsi(b)) return std::string(1, static_cast<char>(b));
    }
    return std::string("?");
  });
}

bool SoloAscii(std::string_view s) {
  // eight bytes at a time: every line read and written passes here
  std::uint64_t bits = 0;
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t bloque;
    std::memcpy(&bloque, s.data() + i, 8);
    bits |= bloque;
  }
  for (; i < s.size(); ++i) bits |= static_cast<unsigned char>(s[i]);
  return (bits & 0x8080808080808080ULL) == 0;
}

bool EsUtf8Valido(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    while (i < n && p[i] < 0x80) ++i;
    if (i == n) break;
    const unsigned char b = p[i];
    std::size_t largo;
    unsigned char min = 0x80, max = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      largo = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      largo = 3;
      if (b == 0xE0) min = 0xA0;  // overlong
      if (b == 0xED) max = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      largo = 4;
      if (b == 0xF0) min = 0x90;  // overlong
      if (b == 0xF4) max = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (n - i < largo || p[i + 1] < min || p[i + 1] > max) return false;
    for (std::size_t k = 2; k < largo; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += largo;
  }
  return true;
}

bool EsTextoValido(std::string_view bytes, const Codificacion& c) {
  switch (c.TipoCodificacion()) {
    case Codificacion::Tipo::Utf8:
      return EsUtf8Valido(bytes);
    case Codificacion::Tipo::Ansi:
      for (unsigned char b : bytes)
        if (EsIndefinidoEnAnsi(b)) return false;
      return true;
    case Codificacion::Tipo::Iconv:
      break;
  }
  bool valido = true;
  DesdeIconv(bytes, c, valido);
  return valido;
}

std::string NombreCodificacion(const Codificacion& c) {
  return c.Nombre();
}

std::optional<Codificacion> CodificacionPorNombre(std::string_view nombre) {
  const std::string n = Mayusculas(nombre);
  if (n == "UTF-8" || n == "UTF8") return Codificacion::Utf8;
  if (n == "WINDOWS-1252" || n == "CP1252" || n == "ANSI" || n == "WINDOWS1252")
    return Codificacion::Ansi;
  return Codificacion::DeIconv(n);
}

std::string ParaArchivo(std::string_view utf8, const Codificacion& c) {
  switch (c.TipoCodificacion()) {
    case Codificacion::Tipo::Utf8:
      return std::string(utf8);
    case Codificacion::Tipo::Ansi:
      return SoloAscii(utf8) ? std::string(utf8) : Utf8AAnsi(utf8);
    case Codificacion::Tipo::Iconv:
      break;
  }
  return HaciaIconv(utf8, c);
}

void AnadeParaArchivo(std::string& destino, std::string_view utf8, const Codificacion& c) {
  const Codificacion::Tipo tipo = c.TipoCodificacion();
  if (tipo == Codificacion::Tipo::Utf8 || (tipo == Codificacion::Tipo::Ansi && SoloAscii(utf8)))
    destino.append(utf8);
  else
    destino += ParaArchivo(utf8, c);
}

std::string DeArchivo(std::string_view bytes, const Codificacion& c) {
  switch (c.TipoCodificacion()) {
    case Codificacion::Tipo::Utf8:
      return std::string(bytes);
    case Codificacion::Tipo::Ansi:
      return SoloAscii(bytes) ? std::string(bytes) : AnsiAUtf8(bytes);
    case Codificacion::Tipo::Iconv:
      break;
  }
  bool valido = true;
  return DesdeIconv(bytes, c, valido);
}

std::string DeArchivo(std::string_view bytes, const Codificacion& c, bool& valido) {
  if (c.TipoCodificacion() == Codificacion::Tipo::Iconv) return DesdeIconv(bytes, c, valido);
  // ASCII is valid and the same in both
  if (SoloAscii(bytes)) {
    valido = true;
    return std::string(bytes);
  }
  valido = EsTextoValido(bytes, c);
  // Windows-1252 keeps its undefined bytes as C1 characters, which go back as they came
  return valido || c.TipoCodificacion() == Codificacion::Tipo::Ansi ? DeArchivo(bytes, c)
                                                                    : std::string(bytes);
}

std::string MarcaDeOrden(const Codificacion& c) {
  return c.ConMarca() ? ParaArchivo("\xEF\xBB\xBF", c) : std::string();
}

}  // namespace varlo
