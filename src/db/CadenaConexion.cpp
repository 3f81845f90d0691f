#include "db/CadenaConexion.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/ErroresBD.h"

namespace varlo::db {

namespace {

struct Par {
  std::string clave;
  std::string valor;
  std::size_t inicioSegmento = 0, finSegmento = 0;  // the whole "key=value", without ';'
  std::size_t inicioValor = 0, finValor = 0;        // the value as written, quotes included
};

std::vector<Par> LeeSegmentos(const std::string& c) {
  std::vector<Par> pares;
  std::size_t i = 0, n = c.size();
  while (i < n) {
    Par p;
    p.inicioSegmento = i;
    std::size_t igual = i;
    while (igual < n && c[igual] != '=' && c[igual] != ';') ++igual;
    p.clave = Recorta(std::string_view(c).substr(i, igual - i));
    if (igual >= n || c[igual] == ';') {
      // a piece without "=": kept as a key without value
      p.finSegmento = igual;
      p.inicioValor = p.finValor = igual;
      if (!p.clave.empty()) pares.push_back(p);
      i = igual + 1;
      continue;
    }
    std::size_t j = igual + 1;
    while (j < n && c[j] == ' ') ++j;
    p.inicioValor = j;
    if (j < n && (c[j] == '"' || c[j] == '\'' || c[j] == '{')) {
      char cierre = c[j] == '{' ? '}' : c[j];
      ++j;
      while (j < n) {
        if (c[j] == cierre) {
          if (j + 1 < n && c[j + 1] == cierre) {  // doubled: the character itself
            p.valor += cierre;
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        p.valor += c[j++];
      }
      p.finValor = j;
      while (j < n && c[j] != ';') ++j;
    } else {
      while (j < n && c[j] != ';') ++j;
      p.valor = Recorta(std::string_view(c).substr(p.inicioValor, j - p.inicioValor));
      p.finValor = j;
      while (p.finValor > p.inicioValor && c[p.finValor - 1] == ' ') --p.finValor;
    }
    p.finSegmento = j;
    if (!p.clave.empty()) pares.push_back(p);
    i = j + 1;
  }
  return pares;
}

bool EsClave(const Par& p, std::initializer_list<const char*> nombres) {
  for (const char* n : nombres)
    if (IgualSinCaso(p.clave, n)) return true;
  return false;
}

const Par* Busca(const std::vector<Par>& pares, std::initializer_list<const char*> nombres) {
  for (const Par& p : pares)
    if (EsClave(p, nombres)) return &p;
  return nullptr;
}

// "Password", "PWD" and the like ("Jet OLEDB:Database Password").
bool EsClaveDeClave(const Par& p) {
  return IgualSinCaso(p.clave, "PWD") || BuscaSinCaso(p.clave, "Password") != std::string::npos;
}

[[noreturn]] void Inutilizable(const std::string& cadena, const std::string& motivo) {
  std::string texto = "No se puede abrir la conexión: " + motivo;
  if (!EstaEnBlanco(cadena)) texto += " (cadena de conexión: " + OcultaClave(cadena) + ")";
  throw ErrorVarlo(errores_bd::FalloProveedor, kFuenteBD, texto);
}

bool EmpiezaSinCaso(const std::string& s, std::string_view prefijo) {
  return s.size() >= prefijo.size() &&
         IgualSinCaso(std::string_view(s).substr(0, prefijo.size()), prefijo);
}

bool ContieneSinCaso(const std::string& s, std::string_view parte) {
  for (std::size_t i = 0; i + parte.size() <= s.size(); ++i)
    if (IgualSinCaso(std::string_view(s).substr(i, parte.size()), parte)) return true;
  return false;
}

bool EsProveedorSqlServer(const std::string& proveedor) {
  return IgualSinCaso(proveedor, "SQLOLEDB") || EmpiezaSinCaso(proveedor, "SQLOLEDB.") ||
         EmpiezaSinCaso(proveedor, "SQLNCLI") || EmpiezaSinCaso(proveedor, "MSOLEDBSQL");
}

// A value between braces, a "}" inside doubled.
std::string EntreLlaves(const std::string& v) {
  std::string r = "{";
  for (char ch : v) {
    r += ch;
    if (ch == '}') r += '}';
  }
  return r + "}";
}

// A value in ODBC form: between braces when it holds a character that
// would end or confuse it. A leading quote would open a quoted value when
// the string is read back, swallowing the keys after it (the password too).
std::string ValorOdbc(const std::string& v) {
  bool braces = v.find_first_of(";{}=") != std::string::npos ||
                (!v.empty() &&
                 (v.front() == ' ' || v.back() == ' ' || v.front() == '"' || v.front() == '\''));
  return braces ? EntreLlaves(v) : v;
}

// "(local)" and "." name the machine itself.
std::string Anfitrion(const std::string& h) {
  if (h == "(local)" || h == "." || h.empty()) return "localhost";
  return h;
}

std::string TraduceSqlServer(const std::vector<Par>& pares) {
  std::string r;
  auto agrega = [&r](const std::string& clave, const std::string& valor) {
    r += clave + "=" + valor + ";";
  };
  const Par* driver = Busca(pares, {"Driver"});
  const std::string nombreDriver = driver ? driver->valor : std::string("FreeTDS");
  agrega("DRIVER", EntreLlaves(nombreDriver));
  // Only FreeTDS takes the port as a key of its own; Microsoft's drivers
  // read it from "host,port" and refuse a PORT key they do not know.
  // (by its name, or by the path of its library)
  const bool freeTds =
      ContieneSinCaso(nombreDriver, "FreeTDS") || ContieneSinCaso(nombreDriver, "tdsodbc");

  if (const Par* s =
          Busca(pares, {"Data Source", "Server", "Address", "Addr", "Network Address"})) {
    std::string servidor = s->valor;
    if (freeTds && EmpiezaSinCaso(servidor, "tcp:")) servidor = servidor.substr(4);
    std::string puerto;
    if (std::size_t coma = servidor.find(','); freeTds && coma != std::string::npos) {
      puerto = Recorta(servidor.substr(coma + 1));
      servidor = Recorta(servidor.substr(0, coma));
    }
    std::size_t barra = servidor.find('\\');
    if (barra != std::string::npos)
      servidor = Anfitrion(servidor.substr(0, barra)) + servidor.substr(barra);
    else
      servidor = Anfitrion(servidor);
    agrega("SERVER", ValorOdbc(servidor));
    if (!puerto.empty()) agrega("PORT", ValorOdbc(puerto));
  }
  if (const Par* p = Busca(pares, {"Initial Catalog", "Database"}))
    agrega("DATABASE", ValorOdbc(p->valor));
  if (const Par* p = Busca(pares, {"User ID", "UID", "User"})) agrega("UID", ValorOdbc(p->valor));
  if (const Par* p = Busca(pares, {"Password", "PWD"})) agrega("PWD", ValorOdbc(p->valor));
  const Par* integrada = Busca(pares, {"Integrated Security", "Trusted_Connection"});
  if (integrada &&
      (IgualSinCaso(integrada->valor, "SSPI") || IgualSinCaso(integrada->valor, "true") ||
       IgualSinCaso(integrada->valor, "yes")))
    agrega("Trusted_Connection", "yes");
  if (const Par* p = Busca(pares, {"Application Name", "Aplication Name", "APP"}))
    agrega("APP", ValorOdbc(p->valor));
  if (const Par* p = Busca(pares, {"Workstation ID", "WSID"})) agrega("WSID", ValorOdbc(p->valor));
  return r;
}

bool EsUriPostgres(const std::string& cadena) {
  const std::string c = Recorta(cadena);
  return EmpiezaSinCaso(c, "postgresql://") || EmpiezaSinCaso(c, "postgres://");
}

// The URI with its password hidden: "user:password@" and "password=" in
// its parameters.
std::string OcultaClaveUri(const std::string& uri) {
  std::string r = uri;
  const std::size_t inicio = r.find("://") + 3;
  const std::size_t finAutoridad = std::min(r.find_first_of("/?", inicio), r.size());
  const std::size_t arroba = r.rfind('@', finAutoridad);
  if (arroba != std::string::npos && arroba >= inicio) {
    const std::size_t dos = r.find(':', inicio);
    if (dos != std::string::npos && dos < arroba) r.replace(dos + 1, arroba - dos - 1, "***");
  }
  for (std::size_t p = r.find('?'); p != std::string::npos && p < r.size();) {
    const std::size_t fin = std::min(r.find('&', p + 1), r.size());
    const std::size_t igual = r.find('=', p + 1);
    if (igual != std::string::npos && igual < fin &&
        IgualSinCaso(std::string_view(r).substr(p + 1, igual - p - 1), "password")) {
      r.replace(igual + 1, fin - igual - 1, "***");
    }
    p = r.find('&', p + 1);
  }
  return r;
}

// A value as libpq's conninfo reads it: between single quotes, with a quote
// or backslash escaped by a backslash, when it is empty or holds white space
// (as the C library sees it, which is how libpq does), a quote or a backslash.
std::string ValorConninfo(const std::string& v) {
  const bool simple = !v.empty() && std::none_of(v.begin(), v.end(), [](char ch) {
    return std::isspace(static_cast<unsigned char>(ch)) || ch == '\'' || ch == '\\';
  });
  if (simple) return v;
  std::string r = "'";
  for (char ch : v) {
    if (ch == '\'' || ch == '\\') r += '\\';
    r += ch;
  }
  return r + "'";
}

// OLE DB keys to libpq's; any other key goes as written (libpq refuses the
// ones it does not know, with their name). A key libpq could not even read
// (spaces, signs) is refused here, by its name.
std::string TraducePostgres(const std::string& cadena, const std::vector<Par>& pares) {
  std::string r;
  for (const Par& p : pares) {
    std::string clave;
    if (EsClave(p, {"Provider", "Persist Security Info"})) continue;
    if (EsClave(p, {"Data Source", "Host", "Server", "Address", "Addr"}))
      clave = "host";
    else if (EsClave(p, {"Port"}))
      clave = "port";
    else if (EsClave(p, {"Initial Catalog", "Database"}))
      clave = "dbname";
    else if (EsClave(p, {"User ID", "UID", "User"}))
      clave = "user";
    else if (EsClave(p, {"Password", "PWD"}))
      clave = "password";
    else if (EsClave(p, {"Application Name"}))
      clave = "application_name";
    else
      clave = p.clave;
    for (char ch : clave)
      if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_')
        Inutilizable(cadena, "la clave '" + clave + "' no es una opción de conexión de PostgreSQL");
    r += (r.empty() ? "" : " ") + clave + "=" + ValorConninfo(p.valor);
  }
  return r;
}

// The string as written, without its Provider key.
std::string SinProveedor(const std::string& cadena, const std::vector<Par>& pares) {
  std::string r;
  std::size_t desde = 0;
  for (const Par& p : pares) {
    if (!EsClave(p, {"Provider"})) continue;
    r += cadena.substr(desde, p.inicioSegmento - desde);
    desde = p.finSegmento < cadena.size() ? p.finSegmento + 1 : cadena.size();
  }
  r += cadena.substr(desde);
  return Recorta(r);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> LeePares(const std::string& cadena) {
  std::vector<std::pair<std::string, std::string>> r;
  for (const Par& p : LeeSegmentos(cadena)) r.emplace_back(p.clave, p.valor);
  return r;
}

std::string OcultaClave(const std::string& cadena) {
  if (EsUriPostgres(cadena)) return OcultaClaveUri(cadena);
  std::vector<Par> pares = LeeSegmentos(cadena);
  std::string r = cadena;
  for (auto it = pares.rbegin(); it != pares.rend(); ++it)
    if (EsClaveDeClave(*it) && it->finValor > it->inicioValor)
      r.replace(it->inicioValor, it->finValor - it->inicioValor, "***");
  return r;
}

DestinoConexion InterpretaCadena(const std::string& cadena) {
  if (EstaEnBlanco(cadena)) Inutilizable(cadena, "la cadena de conexión está vacía");
  DestinoConexion d;
  // libpq reads its string up to the first NUL: what follows would be lost
  const bool conNulo = cadena.find('\0') != std::string::npos;
  if (EsUriPostgres(cadena)) {
    if (conNulo) Inutilizable(cadena, "la cadena de conexión contiene un carácter nulo");
    d.backend = TipoBackend::PostgreSql;
    d.conninfo = Recorta(cadena);
    // libpq knows the scheme in lower case only
    const std::size_t esquema = d.conninfo.find("://");
    for (std::size_t i = 0; i < esquema; ++i)
      d.conninfo[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(d.conninfo[i])));
    return d;
  }
  std::vector<Par> pares = LeeSegmentos(cadena);
  const Par* proveedor = Busca(pares, {"Provider"});
  bool odbc = Busca(pares, {"Driver", "DSN", "FILEDSN"}) != nullptr;

  if (proveedor &&
      (IgualSinCaso(proveedor->valor, "SQLite") || IgualSinCaso(proveedor->valor, "SQLite3"))) {
    const Par* ruta = Busca(pares, {"Data Source", "DataSource", "Database"});
    if (!ruta || EstaEnBlanco(ruta->valor))
      Inutilizable(cadena, "falta el archivo de la base de datos SQLite (Data Source)");
    d.backend = TipoBackend::SQLite;
    d.rutaSQLite = ruta->valor;
    return d;
  }
  if (proveedor && EsProveedorSqlServer(proveedor->valor)) {
    if (!Busca(pares, {"Data Source", "Server", "Address", "Addr", "Network Address"}))
      Inutilizable(cadena, "falta el servidor (Data Source)");
    d.backend = TipoBackend::Odbc;
    d.cadenaOdbc = TraduceSqlServer(pares);
    return d;
  }
  if (odbc) {
    d.backend = TipoBackend::Odbc;
    d.cadenaOdbc = SinProveedor(cadena, pares);
    return d;
  }
  if (proveedor && (IgualSinCaso(proveedor->valor, "PostgreSQL") ||
                    IgualSinCaso(proveedor->valor, "Postgres"))) {
    if (conNulo) Inutilizable(cadena, "la cadena de conexión contiene un carácter nulo");
    d.backend = TipoBackend::PostgreSql;
    d.conninfo = TraducePostgres(cadena, pares);
    return d;
  }
  if (proveedor) Inutilizable(cadena, "el proveedor '" + proveedor->valor + "' no es compatible");
  Inutilizable(cadena,
               "la cadena no indica el proveedor (Provider) ni el controlador ODBC (Driver o DSN)");
}

}  // namespace varlo::db
