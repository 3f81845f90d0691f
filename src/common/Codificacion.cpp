#include "common/Codificacion.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <stdexcept>

namespace varlo {

namespace {
// One iconv descriptor per direction and thread, opened on first use.
class Convertidor {
 public:
  Convertidor(const char* a, const char* de) : cd_(iconv_open(a, de)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv no disponible");
  }
  ~Convertidor() { iconv_close(cd_); }
  Convertidor(const Convertidor&) = delete;
  Convertidor& operator=(const Convertidor&) = delete;

  // Converts `in`; `sustituto` is called for every input sequence the target
  // cannot take (or that is invalid) and returns what to put in its place.
  template <class Sustituto>
  std::string Convierte(std::string_view in, Sustituto sustituto) {
    std::string out;
    out.resize(in.size() * 3 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t usado = 0;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (srcLeft > 0) {
      char* dst = out.data() + usado;
      std::size_t dstLeft = out.size() - usado;
      std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      usado = out.size() - dstLeft;
      if (r != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else {  // EILSEQ or EINVAL: replace one input sequence
        std::size_t saltar = 1;
        std::string repl = sustituto(std::string_view(src, srcLeft), saltar);
        src += saltar;
        srcLeft -= saltar;
        if (out.size() - usado < repl.size() + 8) out.resize(out.size() * 2 + repl.size());
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
}  // namespace

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
      if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
        return std::string(1, static_cast<char>(b));
    }
    return std::string("?");
  });
}

bool EsTextoValido(std::string_view bytes, Codificacion c) {
  if (c != Codificacion::Utf8) return true;
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

const char* NombreCodificacion(Codificacion c) {
  return c == Codificacion::Utf8 ? "UTF-8" : "Windows-1252";
}

std::optional<Codificacion> CodificacionPorNombre(std::string_view nombre) {
  std::string n;
  for (char c : nombre)
    if (c != ' ') n += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (n == "UTF-8" || n == "UTF8") return Codificacion::Utf8;
  if (n == "WINDOWS-1252" || n == "CP1252" || n == "ANSI" || n == "WINDOWS1252")
    return Codificacion::Ansi;
  return std::nullopt;
}

namespace {
// ASCII reads the same in both encodings: most lines need no conversion.
bool SoloAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}
}  // namespace

std::string ParaArchivo(std::string_view utf8, Codificacion c) {
  return c == Codificacion::Utf8 || SoloAscii(utf8) ? std::string(utf8) : Utf8AAnsi(utf8);
}

std::string DeArchivo(std::string_view bytes, Codificacion c) {
  return c == Codificacion::Utf8 || SoloAscii(bytes) ? std::string(bytes) : AnsiAUtf8(bytes);
}

}  // namespace varlo
