// SQLite, PostgreSQL and other ODBC databases: LIMIT instead of TOP and
// every key value bound to a "?" marker.
#include <algorithm>
#include <iterator>
#include <string_view>
#include <unordered_map>

#include "common/Texto.h"
#include "db/DialectoBase.h"
#include "db/Dialectos.h"
#include "db/FilasJson.h"
#include "db/Identificadores.h"
#include "db/TiposAdo.h"
#include "db/pq/LiteralArreglo.h"

namespace varlo::db {

namespace {

std::string EntreComillas(std::string_view s) {
  std::string r = "\"";
  for (char c : s) {
    r += c;
    if (c == '"') r += '"';
  }
  return r + "\"";
}

std::string Minusculas(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// The name PostgreSQL gives a column written as `citado` (unquoted names
// fold to lower case): the catalog's spelling.
std::string NombreEnCatalogo(const std::string& citado) {
  std::string nombre;
  if (citado.size() >= 2 && citado.front() == '"') {
    for (std::size_t i = 1; i + 1 < citado.size(); ++i) {
      nombre += citado[i];
      if (citado[i] == '"') ++i;  // "" inside the quotes is one "
    }
  } else {
    nombre = Minusculas(citado);
  }
  return nombre;
}

// That name as a JSON key: how json_populate_record finds the column.
std::string ClaveJson(const std::string& citado) {
  std::string json;
  AnadeJson(json, Valor(NombreEnCatalogo(citado)));
  return json;
}

// The type a key condition's values are compared as.
const char* TipoCondicion(ClaseLiteral clase) {
  return clase == ClaseLiteral::Texto    ? "text"
         : clase == ClaseLiteral::Numero ? "numeric"
                                         : "timestamp";
}

// The written columns of a batch that PostgreSQL reads from JSON, split in
// two: json and jsonb columns (json_populate_record would keep a JSON string
// as that string there) go as text through their type's input, like a
// single row's bound value; every other column is read by
// json_populate_record with the table's row type.
class ColumnasJson {
 public:
  // `columnas`: the columns as quoted (Identificador).
  ColumnasJson(const std::vector<std::string>& columnas, const TiposTabla& tipos) {
    for (const std::string& columna : columnas) {
      const auto j = tipos.json.find(NombreEnCatalogo(columna));
      tipo_.push_back(j == tipos.json.end() ? std::string() : j->second);
      clave_.push_back(ClaveJson(columna));
      columna_.push_back(columna);
    }
  }

  bool Ninguna() const {
    return std::all_of(tipo_.begin(), tipo_.end(), [](const std::string& t) { return t.empty(); });
  }

  // How the statement reads the value of column c.
  std::string Lectura(std::size_t c) const {
    return tipo_[c].empty() ? "p." + columna_[c]
                            : "cast(q." + columna_[c] + " as " + tipo_[c] + ")";
  }

  // The row p of v.c and, where some column is json, the row q of v.j.
  std::string Filas(const std::string& tabla) const {
    std::string r = " cross join lateral json_populate_record(null::" + tabla + ", v.c) as p";
    if (Ninguna()) return r;
    r += " cross join lateral json_to_record(v.j) as q(";
    bool primera = true;
    for (std::size_t c = 0; c < columna_.size(); ++c)
      if (!tipo_[c].empty()) {
        r += (primera ? "" : ", ") + columna_[c] + " text";
        primera = false;
      }
    return r + ")";
  }

  // Appends `"c":{...}`, and `,"j":{...}` where some column is json; `valor(c)`
  // gives column c's value.
  template <class F>
  void AnadeValores(std::string& json, const F& valor) const {
    json += "\"c\":";
    Objeto(json, valor, false);
    if (Ninguna()) return;
    json += ",\"j\":";
    Objeto(json, valor, true);
  }

  // `{"a":1,...}`: the values of every column (json or not, as asked).
  template <class F>
  void Objeto(std::string& json, const F& valor, bool deJson) const {
    json += '{';
    bool primera = true;
    for (std::size_t c = 0; c < clave_.size(); ++c) {
      if (tipo_[c].empty() == deJson) continue;
      json += (primera ? "" : ",") + clave_[c] + ":";
      AnadeJson(json, valor(c));
      primera = false;
    }
    json += '}';
  }

 private:
  std::vector<std::string> columna_, clave_, tipo_;
};

// The marker of a column's values as one array, "cast(? as <type>[])", by
// the type the catalog gives the column (quoted); nothing without one.
std::optional<std::string> MarcaArreglo(const std::string& columna,
                                        const std::map<std::string, std::string>& tipos) {
  const auto tipo = tipos.find(NombreEnCatalogo(columna));
  if (tipo == tipos.end()) return std::nullopt;
  return "cast(? as " + tipo->second + "[])";
}

// A held change without a locator (a row added in the batch, or moved by a
// change of it) is found by its keys, read with the key columns' own types
// so that their index finds them, and only where they name that one row:
//   t.K = v.k0 and (select count(*) from T as u where u.K = v.k0) = 1
std::string DondeLlaves(const std::string& tabla, const std::vector<std::string>& columnas,
                        const std::vector<std::string>& valores) {
  std::string unaFila = " and (select count(*) from " + tabla + " as u where ";
  std::string donde = " where ";
  for (std::size_t k = 0; k < columnas.size(); ++k) {
    donde += (k ? " and t." : "t.") + columnas[k] + " = " + valores[k];
    unaFila += (k ? " and u." : "u.") + columnas[k] + " = " + valores[k];
  }
  return donde + unaFila + ") = 1";
}

class DialectoConParametros final : public DialectoBase {
 public:
  explicit DialectoConParametros(Motor motor) : motor_(motor) {}

  Motor Tipo() const override { return motor_; }

  SentenciaSql Select(const Consulta& c) const override { return Renderiza(c, false); }
  SentenciaSql SelectConLocalizador(const Consulta& c) const override {
    return Renderiza(c, ColumnasLocalizador() > 0);
  }

  // PostgreSQL is reached through the network, where a round trip per record
  // costs more than the record's own work; SQLite saves a statement per
  // record where the key is one text or number column.
  std::optional<SentenciaSql> SelectVarias(const Consulta& c, const std::vector<Valor>& llaves,
                                           bool conLocalizador) const override {
    if (!EscribeVarias() || llaves.empty()) return std::nullopt;
    const ClaseLiteral clase = c.condiciones.empty() ? ClaseLiteral::Texto : c.condiciones[0].clase;
    if (c.condiciones.size() != 1 ||
        (clase != ClaseLiteral::Texto && clase != ClaseLiteral::Numero)) {
      // SQLite runs such a query for about what a lookup per key costs it,
      // and would keep each count of keys compiled: one lookup per record
      if (motor_ == Motor::SQLite) return std::nullopt;
      return SelectPorLlaves(
          c, llaves, conLocalizador ? ListaLocalizador() : std::string(),
          [this](const Predicado& p, SentenciaSql& s) { Condicion(p, p.igual, s); });
    }
    SentenciaSql s;
    s.variasLlaves = true;
    s.texto = c.select + ListaColumnas(c);
    if (conLocalizador) s.texto += ", " + ListaLocalizador();
    s.texto += c.from + Identificador(c.tabla) + c.where + Identificador(c.condiciones[0].columna) +
               " in (?";
    s.texto.reserve(s.texto.size() + 3 * llaves.size());
    for (std::size_t i = 1; i < llaves.size(); ++i) s.texto += ", ?";
    s.texto += ")";
    s.parametros = llaves;
    return s;
  }

  // PostgreSQL reads the arrays' keys by the table's index on them (a
  // semi-join), where a long "or" of keys costs an index probe and a
  // bitmap per key.
  std::optional<SentenciaSql> SelectVariasArreglos(
      const Consulta& c, const std::vector<Valor>& llaves, bool conLocalizador,
      const std::map<std::string, std::string>& tipos) const override {
    const std::size_t n = c.condiciones.size();
    if (motor_ != Motor::PostgreSql || n == 0 || llaves.empty() || llaves.size() % n != 0)
      return std::nullopt;
    std::string lista, marcas;
    for (std::size_t k = 0; k < n; ++k) {
      const std::string columna = Identificador(c.condiciones[k].columna);
      const auto marca = MarcaArreglo(columna, tipos);
      if (!marca) return std::nullopt;
      lista += (k ? ", " : "") + columna;
      marcas += (k ? ", " : "") + *marca;
    }
    std::vector<std::vector<Valor>> columnas(n);
    for (auto& columna : columnas) columna.reserve(llaves.size() / n);
    for (std::size_t i = 0; i < llaves.size(); ++i) {
      if (std::holds_alternative<Bytes>(llaves[i])) return std::nullopt;
      columnas[i % n].push_back(llaves[i]);
    }
    std::string texto = c.select + ListaColumnas(c);
    if (conLocalizador) texto += ", " + ListaLocalizador();
    texto += c.from + Identificador(c.tabla) + c.where + "(" + lista +
             ") in (select * from unnest(" + marcas + "))";
    SentenciaSql s = pq::ConArreglos(texto, columnas);
    s.variasLlaves = true;
    return s;
  }

  bool ActualizaVariasAdmite(const ActualizacionDiferible& a) const override {
    if (motor_ == Motor::SQLite)
      // a date key compares two stored forms: one record at a time
      return std::none_of(a.condiciones.begin(), a.condiciones.end(), [](const Predicado& p) {
        return p.clase == ClaseLiteral::Fecha || p.clase == ClaseLiteral::FechaHora;
      });
    // PostgreSQL reads each value with its column's own type; bytes have no
    // JSON form here
    return motor_ == Motor::PostgreSql &&
           std::none_of(a.tipos.begin(), a.tipos.end(), [](int t) { return EsTipoBinario(t); });
  }

  // PostgreSQL: the rows as one JSON parameter, each value read with the type
  // of its column (the table's row type), as a uuid, an enum, inet, xml or
  // interval column needs (text is not assigned to those):
  //   insert into T (a, b) select p.a, p.b from json_populate_recordset(null::T, ?) as p
  // json_populate_record keeps a JSON string as that string in a json or
  // jsonb column: those columns' values go apart, as text, through their
  // type's input like a single row's bound value:
  //   insert into T (a, j) select p.a, cast(q.j as jsonb) from json_to_recordset(?)
  //   as v(c json, j json) cross join lateral json_populate_record(null::T, v.c) as p
  //   cross join lateral json_to_record(v.j) as q(j text)
  // Bytes have no JSON form here, and without the column types a JSON column
  // cannot be told apart: one marker per value then.
  SentenciaSql InsertVarias(const std::string& tabla, const std::vector<std::string>& columnas,
                            std::vector<std::vector<Valor>> filas,
                            const TiposTabla* tipos) const override {
    bool json = motor_ == Motor::PostgreSql && tipos;
    for (const auto& fila : filas)
      for (std::size_t c = 0; json && c < fila.size(); ++c)
        json = EsNulo(fila[c]) || !TipoJson(fila[c]).empty();
    if (!json) return DialectoBase::InsertVarias(tabla, columnas, std::move(filas), tipos);
    std::vector<std::string> citadas;
    for (const std::string& c : columnas) citadas.push_back(Identificador(c));
    const ColumnasJson j(citadas, *tipos);
    std::string lista, seleccion;
    for (std::size_t c = 0; c < citadas.size(); ++c) {
      lista += (c ? ", " : "") + citadas[c];
      seleccion += (c ? ", " : "") + j.Lectura(c);
    }
    const std::string t = Identificador(tabla);
    SentenciaSql s;
    s.texto = "insert into " + t + " (" + lista + ") select " + seleccion;
    const Valor nulo;
    std::string filasJson = "[";
    for (std::size_t f = 0; f < filas.size(); ++f) {
      const auto valor = [&](std::size_t c) -> const Valor& {
        return c < filas[f].size() ? filas[f][c] : nulo;
      };
      filasJson += f ? "," : "";
      if (j.Ninguna()) {
        j.Objeto(filasJson, valor, false);
      } else {
        filasJson += '{';
        j.AnadeValores(filasJson, valor);
        filasJson += '}';
      }
    }
    s.texto += j.Ninguna() ? " from json_populate_recordset(null::" + t + ", ?) as p"
                           : " from json_to_recordset(?) as v(c json, j json)" + j.Filas(t);
    s.parametros.push_back(filasJson + "]");
    return s;
  }

  // PostgreSQL: the rows as one JSON parameter, the new values of each read
  // with their columns' own types (the table's row type; json and jsonb
  // columns apart, as InsertVarias reads them):
  //   update T as t set a = p.a, j = cast(q.j as jsonb), ... from json_to_recordset(?)
  //   as v(i bigint, o bigint, l text, c json, j json, k0 text, ...)
  //   cross join lateral json_populate_record(null::T, v.c) as p
  //   cross join lateral json_to_record(v.j) as q(j text)
  //   where <locator and keys of each row> returning v.i
  // Without the column types a JSON column cannot be told apart: nothing.
  // SQLite types by value and names a VALUES column columnN: the values bound
  // one per marker, and the row found by its rowid (the second column).
  std::optional<SentenciaSql> ActualizaVarias(const std::vector<ActualizacionDiferible>& filas,
                                              const TiposTabla* tipos) const override {
    if (filas.empty() || !ActualizaVariasAdmite(filas[0])) return std::nullopt;
    if (motor_ == Motor::SQLite) return ActualizaVariasSQLite(filas);
    if (!tipos) return std::nullopt;
    const ActualizacionDiferible& a = filas[0];
    SentenciaSql s;
    const std::string tabla = Identificador(a.tabla);
    std::vector<std::string> citadas;
    for (const auto& [columna, v] : a.valores) citadas.push_back(Identificador(columna));
    const ColumnasJson j(citadas, *tipos);
    s.texto = "update " + tabla + " as t set ";
    for (std::size_t c = 0; c < citadas.size(); ++c)
      s.texto += (c ? ", " : "") + citadas[c] + " = " + j.Lectura(c);
    const bool porLlaves = a.localizador.empty();
    std::string definicion = porLlaves ? "i bigint, c json" : "i bigint, o bigint, l text, c json";
    if (!j.Ninguna()) definicion += ", j json";
    s.texto += " from json_to_recordset(?) as v(";
    std::string donde = " where t.tableoid = cast(v.o as oid) and t.ctid = cast(v.l as tid)";
    std::vector<std::string> llaves, valoresLlave;
    for (std::size_t k = 0; k < a.condiciones.size(); ++k) {
      const std::string v = "k" + std::to_string(k);
      const std::string columna = Identificador(a.condiciones[k].columna);
      std::string tipo = TipoCondicion(a.condiciones[k].clase);
      if (porLlaves) {
        const auto propio = tipos->tipos.find(NombreEnCatalogo(columna));
        if (propio == tipos->tipos.end()) return std::nullopt;
        tipo = propio->second;
      }
      donde += " and t." + columna + " = v." + v;
      definicion += ", " + v + " " + tipo;
      llaves.push_back(columna);
      valoresLlave.push_back("v." + v);
    }
    if (porLlaves) donde = DondeLlaves(tabla, llaves, valoresLlave);
    s.texto += definicion + ")" + j.Filas(tabla) + donde + " returning v.i";
    std::string json = "[";
    for (std::size_t f = 0; f < filas.size(); ++f) {
      const ActualizacionDiferible& fila = filas[f];
      if (fila.localizador.size() != (porLlaves ? 0u : 2u) || fila.valores.size() != citadas.size())
        return std::nullopt;
      json += f ? ",{\"i\":" : "{\"i\":";
      AnadeJson(json, static_cast<std::int64_t>(f));
      if (!porLlaves) {
        json += ",\"o\":";
        AnadeJson(json, fila.localizador[0]);
        json += ",\"l\":";
        AnadeJson(json, Valor(ValorComoTexto(fila.localizador[1])));
      }
      json += ',';
      j.AnadeValores(json, [&](std::size_t c) -> const Valor& { return fila.valores[c].second; });
      for (std::size_t k = 0; k < fila.condiciones.size(); ++k) {
        json += ",\"k" + std::to_string(k) + "\":";
        AnadeJson(json, ValorDeCondicion(fila.condiciones[k]));
      }
      json += "}";
    }
    s.parametros.push_back(json + "]");
    return s;
  }

  // PostgreSQL: the columns whose type has an array of its own elements
  // (an array column's would be one more dimension, which unnest flattens),
  // each with the type under any domain (of a domain...), named without its
  // length, and whether that type is json or jsonb; whether the column has
  // no default; whether the table has rules. An explicit cast to
  // varchar(4), char(3) or bit(3) cuts a longer value short, where assigning
  // it to the column refuses it, as it does a single row's value.
  std::optional<SentenciaSql> TiposColumnas(const std::string& tabla) const override {
    if (motor_ != Motor::PostgreSql) return std::nullopt;
    return SentenciaSql{
        "select a.attname,"
        " pg_catalog.quote_ident(s.nspname) || '.' || pg_catalog.quote_ident(z.typname),"
        " cast(z.oid in (cast('pg_catalog.json' as regtype), cast('pg_catalog.jsonb' as regtype))"
        " as int),"
        " cast(not a.atthasdef and a.attidentity = '' and y.typtype <> 'd' as int),"
        " cast(exists (select 1 from pg_catalog.pg_rewrite w where w.ev_class = a.attrelid"
        " and w.rulename <> '_RETURN') as int)"
        " from pg_catalog.pg_attribute a join pg_catalog.pg_type y on y.oid = a.atttypid"
        " cross join lateral (with recursive b(t, n) as (select a.atttypid, 0 union all"
        " select d.typbasetype, b.n + 1 from b join pg_catalog.pg_type d on d.oid = b.t"
        " where d.typtype = 'd') select b.t from b order by b.n desc limit 1) as base"
        " join pg_catalog.pg_type z on z.oid = base.t"
        " join pg_catalog.pg_namespace s on s.oid = z.typnamespace"
        " where a.attrelid = cast(? as regclass) and a.attnum > 0 and not a.attisdropped"
        " and y.typcategory <> 'A'",
        {Valor(Identificador(tabla))}};
  }

  std::optional<SentenciaSql> ObservadoresOrden(const std::string& tabla) const override {
    if (motor_ == Motor::PostgreSql)
      return SentenciaSql{
          "with t(r) as (select cast(? as regclass))"
          " select case when i.indexprs is null and i.indpred is null"
          // NULLS NOT DISTINCT (a column of PostgreSQL 15 on), or a column
          // compared in another collation than its own: as an expression
          " and not coalesce(cast(to_jsonb(i) ->> 'indnullsnotdistinct' as boolean), false)"
          " and not exists (select 1 from generate_subscripts(i.indkey, 1) as s"
          " join pg_catalog.pg_attribute a on a.attrelid = i.indrelid and a.attnum = i.indkey[s]"
          " where i.indcollation[s] <> a.attcollation) then"
          " (select string_agg(a.attname, ',') from pg_catalog.pg_attribute a"
          " where a.attrelid = i.indrelid and a.attnum = any(i.indkey)) else '' end"
          " from pg_catalog.pg_index i join t on i.indrelid = t.r where i.indisunique"
          " union all select '' from pg_catalog.pg_constraint c join t on c.conrelid = t.r"
          " where c.contype = 'x'"
          " union all select null from pg_catalog.pg_trigger g join t on g.tgrelid = t.r"
          " where not g.tgisinternal and (g.tgtype & 1) = 1"
          " union all select null from pg_catalog.pg_constraint c join t on c.conrelid = t.r"
          " where c.contype = 'f' and c.confrelid = t.r"
          " union all select null from pg_catalog.pg_rewrite w join t on w.ev_class = t.r"
          " where w.rulename <> '_RETURN'",
          {Valor(Identificador(tabla))}};
    if (motor_ != Motor::SQLite) return std::nullopt;
    // an expression's column has no name in the index
    return SentenciaSql{
        "select case when l.partial = 0 and count(i.name) = count(*) then group_concat(i.name)"
        " else '' end from pragma_index_list(?) as l join pragma_index_info(l.name) as i"
        " where l.\"unique\" = 1 group by l.name"
        " union all select null from sqlite_master where type = 'trigger'"
        " and tbl_name = ? collate nocase"
        " union all select null from pragma_foreign_key_list(?) as f"
        " where f.\"table\" = ? collate nocase",
        {Valor(tabla), Valor(tabla), Valor(tabla), Valor(tabla)}};
  }

  // PostgreSQL: each column of the new rows as one array read with its
  // column's own type, as one row's INSERT reads its value. The values are
  // moved into the columns only once every column has a type.
  std::optional<SentenciaArreglos> InsertVariasArreglos(
      const std::string& tabla, const std::vector<std::string>& columnas,
      std::vector<std::vector<Valor>>& filas,
      const std::map<std::string, std::string>& tipos) const override {
    if (motor_ != Motor::PostgreSql || columnas.empty() || filas.empty()) return std::nullopt;
    SentenciaArreglos r;
    r.texto = "insert into " + Identificador(tabla) + " (";
    std::string arreglos;
    for (std::size_t c = 0; c < columnas.size(); ++c) {
      const std::string columna = Identificador(columnas[c]);
      const auto marca = MarcaArreglo(columna, tipos);
      if (!marca) return std::nullopt;
      r.texto += (c ? ", " : "") + columna;
      arreglos += (c ? ", " : "") + *marca;
    }
    for (const std::vector<Valor>& fila : filas) {
      if (fila.size() != columnas.size()) return std::nullopt;
      for (const Valor& v : fila)
        if (std::holds_alternative<Bytes>(v)) return std::nullopt;  // no text form in an array
    }
    r.texto += ") select * from unnest(" + arreglos + ")";
    r.columnas.assign(columnas.size(), {});
    for (auto& columna : r.columnas) columna.reserve(filas.size());
    for (std::vector<Valor>& fila : filas)
      for (std::size_t c = 0; c < fila.size(); ++c) r.columnas[c].push_back(std::move(fila[c]));
    return r;
  }

  // PostgreSQL: each column of the batch as one array, read with its
  // column's own type (text is not assigned to a uuid, an enum, jsonb...),
  // the rows found by their locator and still matching their keys:
  //   update T as t set a = v.c0, ... from unnest(cast(? as oid[]),
  //   cast(? as tid[]), cast(? as <type of a>[]), ..., cast(? as text[]))
  //   as v(o, l, c0, ..., k0) where t.tableoid = v.o and t.ctid = v.l
  //   and t.K = v.k0
  std::optional<SentenciaArreglos> ActualizaVariasArreglos(
      const std::vector<ActualizacionDiferible>& filas,
      const std::map<std::string, std::string>& tipos) const override {
    return CambiosComoArreglos(filas, tipos, nullptr);
  }

  // The same change, guarded: it changes no row (its count then refuses
  // it) where a row would take, on a unique index's columns, the values a
  // later row of the change holds now, with `f` each change's row as it is
  // (o...) and as it would be (n...) on those columns:
  //   with v as (select * from unnest(...) with ordinality as v(..., i)),
  //   f as (select v.i, a.X as o0_0, v.c1 as n0_0 ... from v join T as a on ...)
  //   update T as t set ... from v where ... and not exists (select 1 from
  //   (select n0_0 as g0, i as toma, null::bigint as tiene from f where ...
  //   union all select o0_0, null, i from f where ...) as p group by g0
  //   having min(toma) < max(tiene) union all ...)
  std::optional<SentenciaArreglos> ActualizaVariasEnOrden(
      const std::vector<ActualizacionDiferible>& filas,
      const std::vector<std::vector<std::string>>& indices,
      const std::map<std::string, std::string>& tipos) const override {
    if (indices.empty()) return std::nullopt;
    return CambiosComoArreglos(filas, tipos, &indices);
  }

 private:
  // The change of `filas` with each column as one array; with `indices`,
  // guarded as ActualizaVariasEnOrden says.
  std::optional<SentenciaArreglos> CambiosComoArreglos(
      const std::vector<ActualizacionDiferible>& filas,
      const std::map<std::string, std::string>& tipos,
      const std::vector<std::vector<std::string>>* indices) const {
    if (motor_ != Motor::PostgreSql || filas.empty() || !ActualizaVariasAdmite(filas[0]))
      return std::nullopt;
    const ActualizacionDiferible& a = filas[0];
    const bool porLlaves = a.localizador.empty();
    const std::size_t primera = porLlaves ? 0 : 2;  // of the values' arrays
    SentenciaArreglos r;
    const std::string tabla = Identificador(a.tabla);
    r.texto = "update " + tabla + " as t set ";
    std::string arreglos = porLlaves ? "" : "cast(? as oid[]), cast(? as tid[])";
    std::string nombres = porLlaves ? "" : "o, l";
    const auto anade = [&arreglos, &nombres](const std::string& marca, const std::string& v) {
      arreglos += (arreglos.empty() ? "" : ", ") + marca;
      nombres += (nombres.empty() ? "" : ", ") + v;
    };
    // each assigned column's value, by the catalog's spelling
    std::map<std::string, std::string> nuevos;
    for (std::size_t c = 0; c < a.valores.size(); ++c) {
      const std::string columna = Identificador(a.valores[c].first);
      const auto marca = MarcaArreglo(columna, tipos);
      if (!marca) return std::nullopt;
      const std::string v = "c" + std::to_string(c);
      r.texto += (c ? ", " : "") + columna + " = v." + v;
      nuevos[a.valores[c].first] = v;
      anade(*marca, v);
    }
    std::string donde = " where t.tableoid = v.o and t.ctid = v.l";
    std::vector<std::string> llaves, valoresLlave;
    for (std::size_t k = 0; k < a.condiciones.size(); ++k) {
      const std::string v = "k" + std::to_string(k);
      const std::string columna = Identificador(a.condiciones[k].columna);
      std::optional<std::string> marca =
          std::string("cast(? as ") + TipoCondicion(a.condiciones[k].clase) + "[])";
      if (porLlaves && !(marca = MarcaArreglo(columna, tipos))) return std::nullopt;
      anade(*marca, v);
      donde += " and t." + columna + " = v." + v;
      llaves.push_back(columna);
      valoresLlave.push_back("v." + v);
    }
    if (porLlaves) donde = DondeLlaves(tabla, llaves, valoresLlave);
    const std::string actualiza = r.texto;
    r.texto += " from unnest(" + arreglos + ") as v(" + nombres + ")" + donde;
    if (indices) {
      // each change's row as it is (a) and as it would be, on each index's
      // columns: o<index>_<column> and n<index>_<column>
      std::string esFila = porLlaves ? "" : "a.tableoid = v.o and a.ctid = v.l";
      for (std::size_t k = 0; k < llaves.size(); ++k)
        esFila += (esFila.empty() ? "a." : " and a.") + llaves[k] + " = v.k" + std::to_string(k);
      std::string columnasF, preguntas;
      for (std::size_t j = 0; j < indices->size(); ++j) {
        std::string actual, nuevo, grupo, actualLleno, nuevoLleno;
        for (std::size_t m = 0; m < (*indices)[j].size(); ++m) {
          const std::string& columna = (*indices)[j][m];
          const auto n = nuevos.find(columna);
          // a name that matches only as written otherwise: not to be guessed
          if (n == nuevos.end() &&
              std::any_of(nuevos.begin(), nuevos.end(),
                          [&columna](const auto& c) { return IgualSinCaso(c.first, columna); }))
            return std::nullopt;
          const std::string citada = "a." + Identificador(columna);
          const std::string sufijo = std::to_string(j) + "_" + std::to_string(m);
          columnasF += ", " + citada + " as o" + sufijo + ", " +
                       (n != nuevos.end() ? "v." + n->second : citada) + " as n" + sufijo;
          const std::string y = m ? " and " : "";
          actual += (m ? ", o" : "o") + sufijo;
          nuevo += (m ? ", n" : "n") + sufijo + " as g" + std::to_string(m);
          grupo += (m ? ", g" : "g") + std::to_string(m);
          actualLleno += y + "o" + sufijo + " is not null";
          nuevoLleno += y + "n" + sufijo + " is not null";
        }
        // a value a row takes before the last row that holds it now lets it go
        preguntas += (j ? " union all " : "") + std::string("select 1 from (select ") + nuevo +
                     ", i as toma, null::bigint as tiene from f where " + nuevoLleno +
                     " union all select " + actual + ", null, i from f where " + actualLleno +
                     ") as p group by " + grupo + " having min(toma) < max(tiene)";
      }
      r.texto = "with v as (select * from unnest(" + arreglos + ") with ordinality as v(" +
                nombres + ", i)), f as (select v.i" + columnasF + " from v join " + tabla +
                " as a on " + esFila + ") " + actualiza + " from v" + donde + " and not exists (" +
                preguntas + ")";
    }
    r.columnas.assign(primera + a.valores.size() + a.condiciones.size(), {});
    for (auto& columna : r.columnas) columna.reserve(filas.size());
    for (const ActualizacionDiferible& fila : filas) {
      if (fila.localizador.size() != primera || fila.valores.size() != a.valores.size() ||
          fila.condiciones.size() != a.condiciones.size())
        return std::nullopt;
      if (!porLlaves) {
        r.columnas[0].push_back(fila.localizador[0]);
        r.columnas[1].push_back(Valor(ValorComoTexto(fila.localizador[1])));
      }
      for (std::size_t c = 0; c < fila.valores.size(); ++c)
        r.columnas[primera + c].push_back(fila.valores[c].second);
      for (std::size_t k = 0; k < fila.condiciones.size(); ++k)
        r.columnas[primera + a.valores.size() + k].push_back(ValorDeCondicion(fila.condiciones[k]));
    }
    return r;
  }

 public:
  // Every statement of every record names the same few columns: each name
  // is checked and quoted once.
  std::string Identificador(const std::string& comoEscrito) const override {
    if (auto it = nombres_.find(comoEscrito); it != nombres_.end()) return it->second;
    std::string r = Cita(comoEscrito);
    if (nombres_.size() >= 4096) nombres_.clear();
    nombres_.emplace(comoEscrito, r);
    return r;
  }

  // Every name in double quotes, reserved word or not, in the catalog's
  // spelling: nothing folds its case ("FechaAlta", "public"."kardex").
  static std::string Cita(const std::string& comoEscrito) {
    std::string r;
    for (const std::string& parte : PartesNombre(comoEscrito))
      r += (r.empty() ? "" : ".") + EntreComillas(parte);
    return r;
  }

  SentenciaSql Update(const std::string& tabla,
                      const std::vector<std::pair<std::string, Valor>>& valores,
                      const std::vector<Predicado>& condiciones) const override {
    SentenciaSql s = DialectoBase::Update(tabla, valores, condiciones);
    if (UpdateDevuelveFilas()) s.texto += " returning 1";
    return s;
  }
  bool UpdateDevuelveFilas() const override { return motor_ == Motor::SQLite; }
  bool LocalizadorEstable() const override { return motor_ == Motor::SQLite; }
  // SQLite binds them; PostgreSQL's batches go as JSON or a copy, which have no bytes here
  bool EscribeVariasConBytes() const override { return motor_ == Motor::SQLite; }
  std::size_t ColumnasLocalizador() const override {
    switch (motor_) {
      case Motor::SQLite:
        return 1;
      case Motor::PostgreSql:
        return 2;
      default:
        return 0;
    }
  }

 protected:
  // SQLite's rowid; PostgreSQL's ctid, unique only within its table (a
  // partitioned table holds several), hence with tableoid.
  std::string ListaLocalizador() const override {
    if (motor_ == Motor::SQLite) return "rowid";
    if (motor_ == Motor::PostgreSql) return "cast(tableoid as bigint), cast(ctid as text)";
    return {};
  }
  std::string CondicionLocalizador() const override {
    if (motor_ == Motor::SQLite) return "rowid = ?";
    if (motor_ == Motor::PostgreSql) return "tableoid = cast(? as oid) and ctid = cast(? as tid)";
    return {};
  }

  void Condicion(const Predicado& p, const std::string& igual, SentenciaSql& s) const override {
    // SQLite keeps dates as text. A date at midnight may have been stored
    // bare ("YYYY-MM-DD") by another tool: both forms are compared, on the
    // column itself so that its index serves the lookup.
    if (motor_ == Motor::SQLite &&
        (p.clase == ClaseLiteral::Fecha || p.clase == ClaseLiteral::FechaHora)) {
      FechaHora f = FechaCondicion(p);
      if (!f.TieneHora()) {
        // the bare form sorts first: the range is what the index reads, the
        // two values what must match (an IN list would have SQLite build a
        // table of its values for every lookup)
        const std::string c = Identificador(p.columna);
        s.texto += "(" + c + " >= ? and " + c + " <= ? and (" + c + " = ? or " + c + " = ?))";
        s.parametros.push_back(FormatoISO(f));
        s.parametros.push_back(f);
        s.parametros.push_back(f);
        s.parametros.push_back(FormatoISO(f));
        return;
      }
    }
    DialectoBase::Condicion(p, igual, s);
  }

 private:
  std::optional<SentenciaSql> ActualizaVariasSQLite(
      const std::vector<ActualizacionDiferible>& filas) const {
    const ActualizacionDiferible& a = filas[0];
    std::size_t siguiente = 3;  // i, rowid, then the values and the keys
    SentenciaSql s;
    s.texto = "update " + Identificador(a.tabla) + " as t set ";
    std::string marcas = "(?, ?";
    for (std::size_t c = 0; c < a.valores.size(); ++c) {
      s.texto += (c ? ", " : "") + Identificador(a.valores[c].first) + " = v.column" +
                 std::to_string(siguiente++);
      marcas += ", ?";
    }
    std::string donde = " where t.rowid = v.column2";
    for (std::size_t k = 0; k < a.condiciones.size(); ++k) {
      donde += " and t." + Identificador(a.condiciones[k].columna) + " = v.column" +
               std::to_string(siguiente++);
      marcas += ", ?";
    }
    marcas += ")";
    s.texto += " from (values ";
    for (std::size_t f = 0; f < filas.size(); ++f) {
      const ActualizacionDiferible& fila = filas[f];
      if (fila.localizador.size() != 1) return std::nullopt;
      s.texto += f ? ", " + marcas : marcas;
      s.parametros.emplace_back(std::in_place_type<std::int64_t>, static_cast<std::int64_t>(f));
      s.parametros.push_back(fila.localizador[0]);
      for (const auto& [nombre, valor] : fila.valores) s.parametros.push_back(valor);
      for (const Predicado& p : fila.condiciones) s.parametros.push_back(ValorDeCondicion(p));
    }
    s.texto += ") as v" + donde + " returning rowid";
    return s;
  }

  // SQLite: "update T set a = ?, ... where rowid = ? and k = ? ...", one step
  // per change: cheaper in SQLite than joining a table of values.
  bool CambiosEnOrden() const override { return motor_ == Motor::SQLite; }
  std::optional<SentenciaPorFilas> ActualizaPorFilas(
      const std::vector<ActualizacionDiferible>& filas) const override {
    if (motor_ != Motor::SQLite || filas.empty() || !ActualizaVariasAdmite(filas[0]))
      return std::nullopt;
    const ActualizacionDiferible& a = filas[0];
    const bool porLlaves = a.localizador.empty();
    SentenciaPorFilas r;
    const std::string tabla = Identificador(a.tabla);
    r.texto = "update " + tabla + (porLlaves ? " as t set " : " set ");
    for (std::size_t c = 0; c < a.valores.size(); ++c)
      r.texto += (c ? ", " : "") + Identificador(a.valores[c].first) + " = ?";
    std::vector<std::string> llaves;
    for (const Predicado& p : a.condiciones) llaves.push_back(Identificador(p.columna));
    if (porLlaves) {
      r.texto += DondeLlaves(tabla, llaves, std::vector<std::string>(llaves.size(), "?"));
    } else {
      r.texto += " where rowid = ?";
      for (const std::string& llave : llaves) r.texto += " and " + llave + " = ?";
    }
    r.filas.reserve(filas.size());
    for (const ActualizacionDiferible& fila : filas) {
      if (fila.localizador.size() != (porLlaves ? 0u : 1u)) return std::nullopt;
      std::vector<Valor>& valores = r.filas.emplace_back();
      valores.reserve(fila.valores.size() + 1 + 2 * fila.condiciones.size());
      for (const auto& [nombre, valor] : fila.valores) valores.push_back(valor);
      if (!porLlaves) valores.push_back(fila.localizador[0]);
      for (const Predicado& p : fila.condiciones) valores.push_back(ValorDeCondicion(p));
      // the keys again, for the count of the rows they name
      if (porLlaves)
        for (const Predicado& p : fila.condiciones) valores.push_back(ValorDeCondicion(p));
    }
    return r;
  }

  SentenciaSql Renderiza(const Consulta& c, bool conLocalizador) const {
    SentenciaSql s;
    // a date condition on SQLite binds four values (its two written forms)
    s.parametros.reserve(4 * c.condiciones.size());
    s.texto.reserve(largoConsulta_);
    s.texto = c.select;
    s.texto += ListaColumnas(c);
    if (conLocalizador) s.texto += ", " + ListaLocalizador();
    s.texto += c.from;
    s.texto += Identificador(c.tabla);
    for (std::size_t i = 0; i < c.condiciones.size(); ++i) {
      const Predicado& p = c.condiciones[i];
      s.texto += i ? " and " : c.where;
      Condicion(p, p.igual, s);
    }
    if (c.top >= 0) s.texto += " limit " + std::to_string(c.top);
    largoConsulta_ = s.texto.size();  // the next one is about as long
    return s;
  }

  bool EscribeVarias() const { return motor_ == Motor::PostgreSql || motor_ == Motor::SQLite; }

  Motor motor_;
  mutable std::unordered_map<std::string, std::string> nombres_;
  mutable std::size_t largoConsulta_ = 0;
};

}  // namespace

std::unique_ptr<Dialecto> CreaDialectoConParametros(Motor motor) {
  return std::make_unique<DialectoConParametros>(motor);
}

}  // namespace varlo::db
