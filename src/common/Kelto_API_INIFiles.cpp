#include "common/Kelto_API_INIFiles.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "common/ArchivoRegular.h"
#include "common/Codificacion.h"
#include "common/Plataforma.h"
#include "common/Texto.h"

namespace fs = std::filesystem;

namespace varlo {

namespace {
bool EsBlancoIni(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string_view RecortaBlancos(std::string_view s) {
  while (!s.empty() && EsBlancoIni(s.front())) s.remove_prefix(1);
  while (!s.empty() && EsBlancoIni(s.back())) s.remove_suffix(1);
  return s;
}

// One line of the file: its text without the line end, and the raw bytes
// with the line end, so that a write can keep every other line as it was.
struct LineaIni {
  std::string texto;  // UTF-8, no line end
  std::string crudo;  // as in the file
};

// A file that starts with a UTF-8 byte-order mark is UTF-8; any other is Windows-1252.
constexpr std::string_view kMarcaUtf8 = "\xEF\xBB\xBF";

Codificacion CodificacionDe(const std::string& bytes) {
  return bytes.starts_with(kMarcaUtf8) ? Codificacion::Utf8 : Codificacion::Ansi;
}

std::vector<LineaIni> LeeLineas(const std::string& bytes) {
  const Codificacion c = CodificacionDe(bytes);
  std::vector<LineaIni> lineas;
  std::size_t i = c == Codificacion::Utf8 ? kMarcaUtf8.size() : 0;
  while (i < bytes.size()) {
    std::size_t j = i;
    while (j < bytes.size() && bytes[j] != '\r' && bytes[j] != '\n') ++j;
    std::size_t fin = j;
    if (j < bytes.size()) {
      if (bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n')
        fin = j + 2;
      else
        fin = j + 1;
    }
    lineas.push_back(
        {DeArchivo(std::string_view(bytes).substr(i, j - i), c), bytes.substr(i, fin - i)});
    i = fin;
  }
  // the mark stays in front of the first line, so a write keeps it
  if (c == Codificacion::Utf8 && !lineas.empty()) lineas[0].crudo.insert(0, kMarcaUtf8);
  return lineas;
}

std::optional<std::string> LeeArchivo(const std::string& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  if (!f) return std::nullopt;
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

enum class Clase { Vacia, Comentario, Seccion, Clave, Otra };

struct Analisis {
  Clase clase = Clase::Otra;
  std::string nombre;  // section or key name, trimmed
  std::string valor;   // key value, trimmed (quotes not yet removed)
};

Analisis Analiza(const std::string& texto) {
  Analisis a;
  std::string_view t = RecortaBlancos(texto);
  if (t.empty()) {
    a.clase = Clase::Vacia;
  } else if (t.front() == ';') {
    a.clase = Clase::Comentario;
  } else if (t.front() == '[' && t.find(']') != std::string_view::npos) {
    a.clase = Clase::Seccion;
    std::size_t cierre = t.rfind(']');
    a.nombre = std::string(RecortaBlancos(t.substr(1, cierre - 1)));
  } else if (std::size_t igual = t.find('='); igual != std::string_view::npos) {
    a.clase = Clase::Clave;
    a.nombre = std::string(RecortaBlancos(t.substr(0, igual)));
    a.valor = std::string(RecortaBlancos(t.substr(igual + 1)));
  }
  return a;
}

std::string QuitaComillas(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Index range [inicio, fin) of the first block of the section, inicio being
// the header line; nullopt when the section is not in the file.
struct Bloque {
  std::size_t cabecera;
  std::size_t fin;
};

std::optional<Bloque> BuscaSeccion(const std::vector<LineaIni>& lineas,
                                   const std::string& seccion) {
  for (std::size_t i = 0; i < lineas.size(); ++i) {
    Analisis a = Analiza(lineas[i].texto);
    if (a.clase == Clase::Seccion && IgualSinCaso(a.nombre, seccion)) {
      std::size_t j = i + 1;
      while (j < lineas.size() && Analiza(lineas[j].texto).clase != Clase::Seccion) ++j;
      return Bloque{i, j};
    }
  }
  return std::nullopt;
}

}  // namespace

std::string Kelto_API_INIFiles::API_GetPrivateProfileString(const std::string& IniFileName,
                                                            const std::string& IniSeccion,
                                                            const std::string& IniClave,
                                                            const std::string& IniDefault) const {
  std::string seccion(RecortaBlancos(IniSeccion));
  std::string clave(RecortaBlancos(IniClave));
  auto bytes = LeeArchivo(IniFileName);
  if (bytes) {
    std::vector<LineaIni> lineas = LeeLineas(*bytes);
    if (auto bloque = BuscaSeccion(lineas, seccion)) {
      for (std::size_t i = bloque->cabecera + 1; i < bloque->fin; ++i) {
        Analisis a = Analiza(lineas[i].texto);
        if (a.clase == Clase::Clave && IgualSinCaso(a.nombre, clave))
          return Recorta(QuitaComillas(a.valor));
      }
    }
  }
  return Recorta(IniDefault);
}

bool Kelto_API_INIFiles::API_WritePrivateProfileString(const std::string& IniFileName,
                                                       const std::string& IniSeccion,
                                                       const std::string& IniClave,
                                                       const std::string& IniValor) const {
  std::string seccion(RecortaBlancos(IniSeccion));
  std::string clave(RecortaBlancos(IniClave));
  std::string valor(RecortaIzq(IniValor));
  std::error_code ec;
  bool existe = fs::exists(IniFileName, ec);
  if (existe) {
    auto st = fs::status(IniFileName, ec);
    if (ec || (st.permissions() & fs::perms::owner_write) == fs::perms::none) return false;
  }
  std::string original = existe ? LeeArchivo(IniFileName).value_or(std::string()) : std::string();
  std::vector<LineaIni> lineas = LeeLineas(original);
  const Codificacion c = CodificacionDe(original);

  auto lineaNueva = [c](const std::string& k, const std::string& v) {
    return ParaArchivo(k, c) + "=" + ParaArchivo(v, c) + "\r\n";
  };
  std::string resultado;
  if (auto bloque = BuscaSeccion(lineas, seccion)) {
    std::optional<std::size_t> encontrada;
    std::size_t ultimaClave = bloque->cabecera;
    for (std::size_t i = bloque->cabecera + 1; i < bloque->fin; ++i) {
      Analisis a = Analiza(lineas[i].texto);
      if (a.clase == Clase::Clave) {
        ultimaClave = i;
        if (!encontrada && IgualSinCaso(a.nombre, clave)) encontrada = i;
      }
    }
    if (encontrada) {
      // the line keeps its place and the key keeps its spelling
      std::string nueva = lineaNueva(Analiza(lineas[*encontrada].texto).nombre, valor);
      if (nueva == lineas[*encontrada].crudo) return true;
      lineas[*encontrada].crudo = nueva;
    } else {
      LineaIni& anterior = lineas[ultimaClave];
      if (!anterior.crudo.empty() && anterior.crudo.back() != '\n' && anterior.crudo.back() != '\r')
        anterior.crudo += "\r\n";
      lineas.insert(lineas.begin() + static_cast<std::ptrdiff_t>(ultimaClave + 1),
                    LineaIni{"", lineaNueva(clave, valor)});
    }
    for (const auto& l : lineas) resultado += l.crudo;
  } else {
    resultado = original;
    if (!resultado.empty() && resultado.back() != '\n' && resultado.back() != '\r')
      resultado += "\r\n";
    resultado += "[" + ParaArchivo(seccion, c) + "]\r\n" + lineaNueva(clave, valor);
  }

  // The copy is a new file (CreaTemporalJunto) and gets the file's permissions before it
  // holds any text: a file readable by its owner only (it may hold a
  // password) never leaks. Any failure leaves the file as it was.
  std::string temporal;
  {
    ArchivoC f = CreaTemporalJunto(IniFileName, temporal);
    if (!f) return false;
    if (existe) {
      fs::permissions(temporal, fs::status(IniFileName, ec).permissions(), ec);
      if (ec) {
        fs::remove(temporal, ec);
        return false;
      }
    }
    const bool escrito =
        std::fwrite(resultado.data(), 1, resultado.size(), f.get()) == resultado.size() &&
        std::fflush(f.get()) == 0;
    if (!escrito) {
      f.reset();
      fs::remove(temporal, ec);
      return false;
    }
  }
  if (!ReemplazaAtomico(temporal, IniFileName)) {
    fs::remove(temporal, ec);
    return false;
  }
  return true;
}

}  // namespace varlo
