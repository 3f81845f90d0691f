// Cases where writing a batch's rows together could go wrong without any
// other test noticing: a batch done again record by record from the middle,
// a row that another writer moved before the batch's commit, a key whose
// value changes only in letter case, a number beyond what a double holds
// exactly, column types that text does not convert to on its own (a JSON
// value kept parsed whatever the path), a
// case-insensitive key with no unique index, and a key value that makes a
// batch's lookup fail as a whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "EntornoImportacion.h"
#include "support/Orden.h"

namespace varlo::prueba {
namespace {

constexpr long kLotes[] = {1, 2, 0};  // 0: the program's default

std::string TextoLote(long n) {
  return "lote " + std::to_string(n);
}

// Every source line is in exactly one of the result files.
void CadaLineaUnaVez(EntornoImportacion& e, const std::string& tabla, const V& lineas) {
  const V ok = e.Resultado(tabla + "_Ok.txt"), er = e.Resultado(tabla + "_Er.txt");
  for (const std::string& l : lineas) {
    const auto enOk = std::count(ok.begin(), ok.end(), l);
    const auto enEr = std::count_if(er.begin(), er.end(),
                                    [&](const std::string& x) { return x.rfind(l + "(", 0) == 0; });
    EXPECT_EQ(enOk + (enEr > 0 ? 1 : 0), 1) << l << " Ok:" << enOk << " Er:" << enEr;
  }
}

// "ci": equal regardless of letter case and accents (ICU, level 1), in the
// test's own schema.
void CreaIntercalacion(db::Conexion& cn) {
  cn.Execute(
      "CREATE COLLATION ci (provider = icu, locale = 'und-u-ks-level1', deterministic = false)");
}

class TrampasEn : public ::testing::TestWithParam<MotorPrueba> {};

// A refusal of a held row surfaces while a later record walks its hierarchy:
// the batch is done again one record at a time, and the record that was
// being processed when that happened keeps its line like the others.
TEST_P(TrampasEn, RepeticionEnMedioDelLoteConJerarquia) {
  for (long lote : kLotes) {
    SCOPED_TRACE(TextoLote(lote));
    EntornoImportacion e(GetParam());
    e.Base().Execute(
        "CREATE TABLE Unidad (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(10) CHECK (Nombre <> "
        "'Malo'), ID_Nivel0 VARCHAR(15), ID_Nivel1 VARCHAR(15))");
    e.Base().Execute("INSERT INTO Jerarquias (Key, Parent) VALUES ('_1A', '_0R')");
    e.Tabla("Unidad", "ID", {"ID", "Nombre", "ID_Nivel1"}, "Jerarquia unica en columna=3\r\n");
    const V lineas = {"1,Uno,A", "2,Malo,A", "3,Tres,A", "4,Cuatro,A", "5,Malo,A", "6,Seis,A"};
    e.Fuente("Unidad.txt", lineas);

    EXPECT_EQ(e.Importa(Lote(lote)), 1);
    CadaLineaUnaVez(e, "Unidad", lineas);
    EXPECT_EQ(e.Resultado("Unidad_Ok.txt"), (V{lineas[0], lineas[2], lineas[3], lineas[5]}));
    EXPECT_EQ(e.Lee("Unidad", {"ID", "ID_Nivel0", "ID_Nivel1"}),
              (Filas{{"1", "R", "A"}, {"3", "R", "A"}, {"4", "R", "A"}, {"6", "R", "A"}}));
  }
}

// Another writer (here a trigger fired by the batch's own earlier row)
// deletes, re-keys or changes a row after the batch looked it up and before
// its change is written. The record is then written as it would be alone,
// never reported without its change.
TEST_P(TrampasEn, FilaCambiadaPorOtroEscritorAntesDeConfirmar) {
  const bool sqlite = GetParam() == MotorPrueba::SQLite;
  const V acciones = {"DELETE FROM Turno WHERE ID = 5", "UPDATE Turno SET ID = 50 WHERE ID = 5",
                      "UPDATE Turno SET Nombre = 'otro' WHERE ID = 5"};
  for (const std::string& accion : acciones) {
    SCOPED_TRACE(accion);
    Filas esperadas;
    V okEsperadas;
    for (long lote : kLotes) {
      SCOPED_TRACE(TextoLote(lote));
      EntornoImportacion e(GetParam());
      e.Base().Execute(kCreaTurno);
      e.Base().Execute("INSERT INTO Turno (ID, Nombre) VALUES (5, 'cinco'), (9, 'nueve')");
      if (sqlite) {
        e.Base().Execute("CREATE TRIGGER otro AFTER INSERT ON Turno WHEN NEW.ID = 6 BEGIN " +
                         accion + "; END");
      } else {
        e.Base().Execute("CREATE FUNCTION otro() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN " +
                         accion + "; RETURN NULL; END $$");
        e.Base().Execute(
            "CREATE TRIGGER otro AFTER INSERT ON Turno FOR EACH ROW WHEN (NEW.ID = 6) "
            "EXECUTE FUNCTION otro()");
      }
      e.Definiciones(e.Turnos());
      const V lineas = {"9,nueve bis", "6,seis", "5,cinco bis", "7,siete"};
      e.Fuente("Turno.txt", lineas);

      e.Importa(Lote(lote));
      CadaLineaUnaVez(e, "Turno", lineas);
      const Filas filas = e.Lee("Turno", {"ID", "Nombre"});
      const V ok = e.Resultado("Turno_Ok.txt");
      if (std::count(ok.begin(), ok.end(), lineas[2])) {
        EXPECT_EQ(std::count(filas.begin(), filas.end(), V{"5", "cinco bis"}), 1)
            << lineas[2] << " reported without its change";
      }
      // one record at a time is the measure of the others
      if (lote == 1) {
        esperadas = filas;
        okEsperadas = ok;
      } else {
        EXPECT_EQ(filas, esperadas);
        EXPECT_EQ(ok, okEsperadas);
      }
    }
  }
}

// 2^53 + 1 and its neighbours: stored and updated exactly, as key and as value.
TEST_P(TrampasEn, EnteroMayorQueDosALaCincuentaYTres) {
  for (long lote : kLotes) {
    SCOPED_TRACE(TextoLote(lote));
    EntornoImportacion e(GetParam());
    e.Base().Execute("CREATE TABLE Grande (ID BIGINT NOT NULL PRIMARY KEY, Valor BIGINT)");
    e.Tabla("Grande", "ID", {"ID", "Valor"});
    e.Fuente("Grande.txt",
             {"9007199254740993,9007199254740993", "9007199254740992,-9007199254740993"});
    ASSERT_EQ(e.Importa(Lote(lote)), 0);
    EXPECT_EQ(e.Lee("Grande", {"ID", "Valor"}), (Filas{{"9007199254740992", "-9007199254740993"},
                                                       {"9007199254740993", "9007199254740993"}}));

    e.Fuente("Grande.txt",
             {"9007199254740993,9223372036854775807", "9007199254740995,9007199254740995"});
    ASSERT_EQ(e.Importa(Lote(lote)), 0);
    EXPECT_EQ(e.Lee("Grande", {"ID", "Valor"}), (Filas{{"9007199254740992", "-9007199254740993"},
                                                       {"9007199254740993", "9223372036854775807"},
                                                       {"9007199254740995", "9007199254740995"}}));
    EXPECT_EQ(
        e.Resumenes().back(),
        "Resumen Grande: 2 leídas, 1 agregadas, 1 actualizadas, 0 rechazadas, 0 sin procesar");
  }
}

// A date key with a time of day, in a column of a date type. PostgreSQL's
// date drops the time: the row is found by its day, or every run would add
// the line again. SQLite keeps what it is given, time included. Either way a
// second run of the same file finds every row the first one wrote.
TEST_P(TrampasEn, UnaLlaveDeFechaConHoraEnUnaColumnaDeFecha) {
  const bool sqlite = GetParam() == MotorPrueba::SQLite;
  const V lineas = {"25/10/2026 01:30:00,a", "26/10/2026,b", "25/10/2026 08:00:00,c"};
  for (long lote : kLotes) {
    SCOPED_TRACE(TextoLote(lote));
    EntornoImportacion e(GetParam());
    e.Base().Execute("CREATE TABLE Feriado (Dia DATE NOT NULL, Nota VARCHAR(10))");
    e.Tabla("Feriado", "Dia", {"Dia", "Nota"});
    e.Fuente("Feriado.txt", lineas);
    const Filas filas = sqlite ? Filas{{"a"}, {"b"}, {"c"}} : Filas{{"b"}, {"c"}};
    const std::string agregadas = sqlite ? "3" : "2";
    ASSERT_EQ(e.Importa(Lote(lote)), 0);
    EXPECT_EQ(e.Lee("Feriado", {"Nota"}), filas);
    EXPECT_EQ(e.Resumenes().back(), "Resumen Feriado: 3 leídas, " + agregadas + " agregadas, " +
                                        (sqlite ? "0" : "1") +
                                        " actualizadas, 0 rechazadas, 0 sin procesar");
    ASSERT_EQ(e.Importa(Lote(lote)), 0);
    EXPECT_EQ(e.Lee("Feriado", {"Nota"}), filas);
    EXPECT_EQ(
        e.Resumenes().back(),
        "Resumen Feriado: 3 leídas, 0 agregadas, 3 actualizadas, 0 rechazadas, 0 sin procesar");
  }
}

// Keys equal under the column's collation but not byte for byte. A key found
// that way is written back in the letter case of the source: the key column
// takes the new spelling. In one batch, with no unique index to refuse a
// second row, they give one row, as when each record is its own transaction.
TEST_P(TrampasEn, LlavesIgualesSegunLaIntercalacion) {
  const bool sqlite = GetParam() == MotorPrueba::SQLite;
  // the ICU collation "ci" compares without case or accents; SQLite's
  // NOCASE folds ASCII letters only
  const std::string tipo = sqlite ? "VARCHAR(10) COLLATE NOCASE" : "VARCHAR(10) COLLATE ci";
  const V lineas = sqlite ? V{"pena,1", "PENA,2", "Pena,3", "x,x", "pEnA ,4"}
                          : V{"peña,1", "PEÑA,2", "pena,3", "x,x", "Peña ,4", "Ó,o", "o,5"};
  for (long lote : kLotes) {
    SCOPED_TRACE(TextoLote(lote));
    EntornoImportacion e(GetParam());
    if (!sqlite) CreaIntercalacion(e.Base());
    e.Base().Execute("CREATE TABLE Clave (Codigo " + tipo +
                     " NOT NULL PRIMARY KEY, Nombre VARCHAR(10))");
    e.Base().Execute(
        "INSERT INTO Clave (Codigo, Nombre) VALUES ('abc', 'uno'), ('xyz', 'dos'), ('k', 'tres')");
    e.Base().Execute("CREATE TABLE Nombres (Codigo " + tipo + ", Dato VARCHAR(10))");
    e.Definiciones(ListaTablas({"Clave", "Nombres"}) +
                   e.Seccion("Clave", "Codigo", {"Codigo", "Nombre"}) +
                   e.Seccion("Nombres", "Codigo", {"Codigo", "Dato"}));
    e.Fuente("Clave.txt", {"ABC,uno bis", "Xyz,dos bis", "k,tres bis"});
    e.Fuente("Nombres.txt", lineas);

    EXPECT_EQ(e.Importa(Lote(lote)), 0);
    EXPECT_EQ(e.Lee("Clave", {"Codigo", "Nombre"}),
              (Filas{{"ABC", "uno bis"}, {"Xyz", "dos bis"}, {"k", "tres bis"}}));
    EXPECT_EQ(e.Lee("Nombres", {"Dato"}),
              sqlite ? (Filas{{"4"}, {"x"}}) : (Filas{{"4"}, {"5"}, {"x"}}));
  }
}

// A card number (UNIQUE, not the key) that one line takes while another row
// still holds it, and that a later line of the same batch frees: the line
// that takes it too early is refused, as it is when each record is its own
// transaction. In "Tarjeta" the taker is a row the batch added (its change
// found by its keys) and the holder one read before (found by its locator);
// in "Credencial" both were read before. In "Gafete" the two lines sit among
// many changes of rows read before, enough for a multi-row change that a
// database may apply in the table's order rather than the file's.
TEST_P(TrampasEn, UnValorUnicoSeTomaEnElOrdenDelArchivo) {
  const V tarjetas = {"36,nuevo,", "36,,T19", "4,,T37"};
  const V credenciales = {"5,,T20", "6,,T21"};
  V gafetes;
  std::string gafetesPrevios;
  for (int id = 1; id <= 300; ++id)
    gafetesPrevios +=
        (id > 1 ? ", (" : "(") + std::to_string(id) + ", 'g', 'G" + std::to_string(id) + "')";
  for (int id = 1; id <= 80; ++id) {
    if (id == 41) gafetes.insert(gafetes.end(), {"250,,G100", "100,,H100"});
    gafetes.push_back(std::to_string(id) + ",,H" + std::to_string(id));
  }
  for (long lote : kLotes) {
    SCOPED_TRACE(TextoLote(lote));
    EntornoImportacion e(GetParam());
    for (const char* tabla : {"Tarjeta", "Credencial", "Gafete"})
      e.Base().Execute(std::string("CREATE TABLE ") + tabla +
                       " (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(10), Numero VARCHAR(6) "
                       "UNIQUE)");
    e.Base().Execute("INSERT INTO Tarjeta (ID, Nombre, Numero) VALUES (4, 'cuatro', 'T19')");
    e.Base().Execute(
        "INSERT INTO Credencial (ID, Nombre, Numero) VALUES (5, 'cinco', NULL), (6, 'seis', "
        "'T20')");
    e.Base().Execute("INSERT INTO Gafete (ID, Nombre, Numero) VALUES " + gafetesPrevios);
    e.Definiciones(ListaTablas({"Tarjeta", "Credencial", "Gafete"}) +
                   e.Seccion("Tarjeta", "ID", {"ID", "Nombre", "Numero"}) +
                   e.Seccion("Credencial", "ID", {"ID", "Nombre", "Numero"}) +
                   e.Seccion("Gafete", "ID", {"ID", "Nombre", "Numero"}));
    e.Fuente("Tarjeta.txt", tarjetas);
    e.Fuente("Credencial.txt", credenciales);
    e.Fuente("Gafete.txt", gafetes);

    EXPECT_EQ(e.Importa(Lote(lote)), 1);
    CadaLineaUnaVez(e, "Tarjeta", tarjetas);
    EXPECT_EQ(e.Resultado("Tarjeta_Ok.txt"), (V{tarjetas[0], tarjetas[2]}));
    EXPECT_EQ(e.Lee("Tarjeta", {"ID", "Nombre", "Numero"}),
              (Filas{{"36", "nuevo", "NULL"}, {"4", "cuatro", "T37"}}));
    CadaLineaUnaVez(e, "Credencial", credenciales);
    EXPECT_EQ(e.Resultado("Credencial_Ok.txt"), (V{credenciales[1]}));
    EXPECT_EQ(e.Lee("Credencial", {"ID", "Nombre", "Numero"}),
              (Filas{{"5", "cinco", "NULL"}, {"6", "seis", "T21"}}));
    CadaLineaUnaVez(e, "Gafete", gafetes);
    ASSERT_EQ(e.Resultado("Gafete_Er.txt").size(), 1u);
    EXPECT_TRUE(e.Resultado("Gafete_Er.txt")[0].starts_with("250,,G100("));
    const Filas gafetesLeidos = e.Lee("Gafete", {"ID", "Numero"});
    EXPECT_EQ(gafetesLeidos.size(), 300u);
    for (const V& fila : {V{"100", "H100"}, V{"250", "G250"}})
      EXPECT_NE(std::find(gafetesLeidos.begin(), gafetesLeidos.end(), fila), gafetesLeidos.end());
  }
}

INSTANTIATE_TEST_SUITE_P(Motores, TrampasEn, TodosLosMotores(), NombreMotor);

// Rows written per INSERT or UPDATE statement, in order, counted by
// statement-level triggers: a batch written together is one statement; a
// batch the server refused and that was done again is one per record.
class FilasPorSentencia {
 public:
  FilasPorSentencia(db::Conexion& cn, const V& tablas) : cn_(cn) {
    cn_.Execute("CREATE TABLE conteo (n SERIAL PRIMARY KEY, tabla TEXT, clase TEXT, filas INT)");
    for (const char* clase : {"INSERT", "UPDATE"}) {
      const std::string f = std::string("cuenta_") + clase;
      cn_.Execute("CREATE FUNCTION " + f +
                  "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN INSERT INTO conteo (tabla, "
                  "clase, filas) SELECT lower(TG_TABLE_NAME), TG_OP, count(*) FROM nuevas; RETURN "
                  "NULL; END $$");
      for (const std::string& tabla : tablas)
        cn_.Execute("CREATE TRIGGER " + f + " AFTER " + clase + " ON " + tabla +
                    " REFERENCING NEW TABLE AS nuevas FOR EACH STATEMENT EXECUTE FUNCTION " + f +
                    "()");
    }
  }
  FilasPorSentencia(db::Conexion& cn, const std::string& tabla) : FilasPorSentencia(cn, V{tabla}) {}
  // "INSERT 3", "UPDATE 1", ... in the order they ran (of that table, when
  // given); emptied.
  V Toma(const std::string& tabla = "") {
    db::Consulta c;
    c.columnas = {"n", "tabla", "clase", "filas"};
    c.tabla = "conteo";
    std::vector<std::pair<int, std::string>> r;
    for (auto rs = cn_.AbreConsulta(c, 0); !rs->EOF_(); rs->MoveNext())
      if (tabla.empty() || rs->Texto(1) == tabla)
        r.emplace_back(std::stoi(rs->Texto(0)), rs->Texto(2) + " " + rs->Texto(3));
    std::sort(r.begin(), r.end());
    if (tabla.empty()) cn_.Execute("DELETE FROM conteo");
    V v;
    for (auto& [n, s] : r) v.push_back(s);
    return v;
  }

 private:
  db::Conexion& cn_;
};

// Columns PostgreSQL does not fill from plain text on its own (uuid, an
// enum, jsonb, json, inet, xml, interval), natively and through psqlODBC: a
// batch of new rows is one INSERT and a batch of changes one UPDATE, not a
// batch refused and done again, and each leaves what one record at a time
// leaves. A json or jsonb value is stored parsed (an object, an array, a
// string), never as one JSON string holding the source text: the database's
// own text of each column and jsonb_typeof are compared, and psql's reading
// of the source texts is the measure of the JSON columns.
TEST(TrampasPostgreSql, TiposQueElTextoNoAsignaSeEscribenEnUnaSentencia) {
  const std::string crea =
      "CREATE TABLE Tipos (ID INT NOT NULL PRIMARY KEY, U uuid, E estado, J jsonb, I inet, X xml, "
      "D interval, S json)";
  // what each column holds, as the database writes it
  const std::string vista =
      "CREATE VIEW Vista AS SELECT ID, U::text AS U, E::text AS E, J::text AS J, "
      "jsonb_typeof(J) AS JT, I::text AS I, X::text AS X, D::text AS D, S::text AS S, "
      "json_typeof(S) AS ST FROM Tipos";
  const V columnas = {"ID", "U", "E", "J", "I", "X", "D", "S"};
  const V leidas = {"ID", "U", "E", "J", "JT", "I", "X", "D", "S", "ST"};
  const V nuevas = {
      "1,a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11,activo,{\"a\":1},10.0.0.1,<a>1</a>,1 day,{\"s\": 1}",
      "2,A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A12,baja,[1],10.0.0.0/8,<b/>,02:30:00,[\"t\"]",
      "3,a0eebc999c0b4ef8bb6d6bb9bd380a13,activo,\"x\",::1,texto,1 year 2 mons,\"y\""};
  const V cambios = {
      "1,b0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11,baja,{\"b\":2},192.168.1.1,<c>2</c>,2 days,[2]",
      "2,a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a22,activo,null,10.0.0.2,<e/>,3 hours,\"z\"",
      "3,c0eebc99-9c0b-4ef8-bb6d-6bb9bd380a13,baja,true,fe80::1,<d/>,-1 hour,{ \"w\" : [] }"};

  // psql's reading of each source's JSON texts: "ID|J|jsonb_typeof|S|json_typeof"
  std::string sql;
  for (int paso = 0; paso < 2; ++paso) {
    for (const std::string& l : paso ? cambios : nuevas) {
      V campos;
      for (std::size_t i = 0, fin; i <= l.size(); i = fin + 1) {
        fin = std::min(l.find(',', i), l.size());
        campos.push_back(l.substr(i, fin - i));
      }
      sql += "select " + std::to_string(paso) + " || '|' || $t$" + campos[0] + "$t$ || '|' || $t$" +
             campos[3] + "$t$::jsonb::text || '|' || jsonb_typeof($t$" + campos[3] +
             "$t$::jsonb) || '|' || $t$" + campos[7] + "$t$::json::text || '|' || json_typeof($t$" +
             campos[7] + "$t$::json);\n";
    }
  }
  CarpetaTemporal carpeta;
  const V porPsql = PsqlGuion(carpeta.Archivo("json.sql"), sql);
  ASSERT_EQ(porPsql.size(), nuevas.size() + cambios.size());

  Filas porRegistro[2];
  for (MotorPrueba motor : {MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc}) {
    for (long lote : {1L, 0L}) {
      SCOPED_TRACE(NombreDeMotor(motor) + " " + TextoLote(lote));
      EntornoImportacion e(motor);
      e.Base().Execute("CREATE TYPE estado AS ENUM ('activo', 'baja')");
      e.Base().Execute(crea);
      e.Base().Execute(vista);
      FilasPorSentencia conteo(e.Base(), "Tipos");
      e.Tabla("Tipos", "ID", columnas);
      for (int paso = 0; paso < 2; ++paso) {
        SCOPED_TRACE(paso ? "cambios" : "nuevas");
        e.Fuente("Tipos.txt", paso ? cambios : nuevas);
        EXPECT_EQ(e.Importa(Lote(lote)), 0) << e.Resultado("Tipos_Er.txt")[0];
        const V sentencias = conteo.Toma();
        const Filas filas = e.Lee("Vista", leidas);
        V json;
        for (const V& f : filas)
          json.push_back(std::to_string(paso) + "|" + f[0] + "|" + f[3] + "|" + f[4] + "|" + f[8] +
                         "|" + f[9]);
        EXPECT_EQ(json, V(porPsql.begin() + paso * 3, porPsql.begin() + paso * 3 + 3));
        if (lote == 1) {
          EXPECT_EQ(sentencias.size(), 3u);
        } else {
          // in one statement
          EXPECT_EQ(sentencias, V{paso ? "UPDATE 3" : "INSERT 3"});
        }
        // the same rows as one record at a time, natively
        if (motor == MotorPrueba::PostgreSql && lote == 1)
          porRegistro[paso] = filas;
        else
          EXPECT_EQ(filas, porRegistro[paso]);
      }
    }
  }
}

// A key of two columns, and a key that is a date, are looked up for a whole
// batch at once: the rows a batch holds are then written together, not one
// statement per record (each record's own lookup would write them first).
// A date written with and without its time is one key of each.
TEST(TrampasPostgreSql, LlavesCompuestasYDeFechaSeBuscanPorLote) {
  for (MotorPrueba motor : {MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc}) {
    SCOPED_TRACE(NombreDeMotor(motor));
    EntornoImportacion e(motor);
    e.Base().Execute(
        "CREATE TABLE Jornada (Empleado VARCHAR(6) NOT NULL, Dia TIMESTAMP NOT NULL, Horas INT, "
        "PRIMARY KEY (Empleado, Dia))");
    e.Base().Execute("CREATE TABLE Feriado (Dia DATE NOT NULL PRIMARY KEY, Nota VARCHAR(10))");
    FilasPorSentencia conteo(e.Base(), V{"Jornada", "Feriado"});
    e.Definiciones(ListaTablas({"Jornada", "Feriado"}) +
                   e.Seccion("Jornada", "Empleado,Dia", {"Empleado", "Dia", "Horas"}) +
                   e.Seccion("Feriado", "Dia", {"Dia", "Nota"}));
    for (int paso = 0; paso < 2; ++paso) {
      SCOPED_TRACE(paso ? "cambios" : "nuevas");
      const std::string h = std::to_string(paso + 7);
      e.Fuente("Jornada.txt", {"e1,01/03/2024," + h, "e1,02/03/2024 08:30:00," + h,
                               "e2,01/03/2024," + h, "e3,01/03/2024," + h});
      e.Fuente("Feriado.txt", {"01/05/2024,n" + h, "25/12/2024,n" + h, "01/01/2025,n" + h});
      EXPECT_EQ(e.Importa(), 0);
      const std::string clase = paso ? "UPDATE " : "INSERT ";
      EXPECT_EQ(conteo.Toma("jornada"), V{clase + "4"});
      EXPECT_EQ(conteo.Toma("feriado"), V{clase + "3"});
      conteo.Toma();
      EXPECT_EQ(e.Lee("Jornada", {"Empleado", "Dia", "Horas"}).size(), 4u);
      EXPECT_EQ(e.Lee("Feriado", {"Nota"}), (Filas{{"n" + h}, {"n" + h}, {"n" + h}}));
    }
  }
}

// A key repeated in a batch is served the row the earlier line added or
// changed, without writing what is held: the later change is held too, and
// written by its key after the others, one statement per round of repeats,
// natively and through psqlODBC.
TEST(TrampasPostgreSql, UnaLlaveRepetidaNoEscribeLoRetenido) {
  for (MotorPrueba motor : {MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc}) {
    SCOPED_TRACE(NombreDeMotor(motor));
    EntornoImportacion e(motor);
    e.Base().Execute("CREATE TABLE Repite (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(8), N INT)");
    FilasPorSentencia conteo(e.Base(), "Repite");
    e.Tabla("Repite", "ID", {"ID", "Nombre", "N"});
    e.Fuente("Repite.txt", {"1,a,1", "2,b,1", "1,x,2", "2,c,2", "1,d,3"});
    EXPECT_EQ(e.Importa(), 0);
    EXPECT_EQ(conteo.Toma(), (V{"INSERT 2", "UPDATE 2", "UPDATE 1"}));
    EXPECT_EQ(e.Lee("Repite", {"ID", "Nombre", "N"}), (Filas{{"1", "d", "3"}, {"2", "c", "2"}}));
    // rows of the table: the first change by its locator, the next by the key
    e.Fuente("Repite.txt", {"1,e,4", "1,f,", "2,g,5"});
    EXPECT_EQ(e.Importa(), 0);
    EXPECT_EQ(conteo.Toma(), (V{"UPDATE 2", "UPDATE 1"}));
    EXPECT_EQ(e.Lee("Repite", {"ID", "Nombre", "N"}), (Filas{{"1", "f", "4"}, {"2", "g", "5"}}));
    EXPECT_EQ(e.Resultado("Repite_Ok.txt").size(), 3u);
  }
}

// A line the database refuses costs the part of its batch that holds it,
// not the batch: the batch is done again in parts of a hundred, each held
// and committed, the refused part in parts of ten, and only the refused
// tenth record by record.
TEST(TrampasPostgreSql, UnaLineaRechazadaCuestaSuParteNoElLote) {
  for (MotorPrueba motor : {MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc}) {
    SCOPED_TRACE(NombreDeMotor(motor));
    EntornoImportacion e(motor);
    e.Base().Execute("CREATE TABLE Parte (ID INT NOT NULL PRIMARY KEY, N INT CHECK (N >= 0))");
    FilasPorSentencia conteo(e.Base(), "Parte");
    e.Tabla("Parte", "ID", {"ID", "N"});
    V lineas;
    for (int i = 1; i <= 250; ++i) lineas.push_back(std::to_string(i) + (i == 120 ? ",-1" : ",1"));
    e.Fuente("Parte.txt", lineas);
    EXPECT_EQ(e.Importa(), 1);
    V esperadas = {"INSERT 100", "INSERT 10"};
    esperadas.insert(esperadas.end(), 9, "INSERT 1");
    esperadas.insert(esperadas.end(), 8, "INSERT 10");
    esperadas.push_back("INSERT 50");
    EXPECT_EQ(conteo.Toma(), esperadas);
    EXPECT_EQ(e.Lee("Parte", {"ID"}).size(), 249u);
    EXPECT_EQ(e.Resultado("Parte_Ok.txt").size(), 249u);
    ASSERT_EQ(e.Resultado("Parte_Er.txt").size(), 1u);
    EXPECT_TRUE(e.Resultado("Parte_Er.txt")[0].starts_with("120,-1("))
        << e.Resultado("Parte_Er.txt")[0];
  }
}

class TrampasPostgreSqlPor : public ::testing::TestWithParam<MotorPrueba> {};

// The next lines' lookups are read on a session of their own, which sees
// none of this transaction's rows: never while the transaction holds a row
// of one of their keys. Here a refusal has the first records done again in
// transactions of their own, and the rest of the first thousand lines go on
// in a new transaction, looking themselves up; the second thousand repeat
// their keys. A table without a unique key would take each of those keys
// twice.
TEST_P(TrampasPostgreSqlPor, LasFilasDeUnaTransaccionNuevaNoSeBuscanAparte) {
  EntornoImportacion e(GetParam());
  e.Base().Execute("CREATE TABLE Repetida (Codigo VARCHAR(10), Monto INT CHECK (Monto >= 0))");
  e.Tabla("Repetida", "Codigo", {"Codigo", "Monto"});
  V lineas = {"x,-5", "x,3"};
  for (int i = 3; i <= 1000; ++i) lineas.push_back("k" + std::to_string(i) + ",1");
  for (int i = 3; i <= 100; ++i) lineas.push_back("k" + std::to_string(i) + ",2");
  e.Fuente("Repetida.txt", lineas);
  EXPECT_EQ(e.Importa(), 1);
  const Filas filas = e.Lee("Repetida", {"Codigo", "Monto"});
  EXPECT_EQ(filas.size(), 999u);
  std::map<std::string, int> veces;
  for (const V& f : filas) ++veces[f[0]];
  for (const auto& [codigo, n] : veces) EXPECT_EQ(n, 1) << codigo;
  EXPECT_EQ(e.Resultado("Repetida_Er.txt").size(), 1u);
}

// Changes of rows read before, to a column with a unique index, where no
// line takes a value a later line frees: one statement, guarded, not one per
// change.
TEST_P(TrampasPostgreSqlPor, UnValorUnicoCambiaEnUnaSentenciaGuardada) {
  EntornoImportacion e(GetParam());
  e.Base().Execute("CREATE TABLE Gafete (ID INT PRIMARY KEY, Numero VARCHAR(6) UNIQUE)");
  e.Base().Execute("INSERT INTO Gafete SELECT g, 'G' || g FROM generate_series(1, 300) AS g");
  FilasPorSentencia conteo(e.Base(), "Gafete");
  e.Tabla("Gafete", "ID", {"ID", "Numero"});
  V gafetes;
  for (int id = 1; id <= 80; ++id)
    gafetes.push_back(std::to_string(id) + ",H" + std::to_string(id));
  e.Fuente("Gafete.txt", gafetes);
  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(conteo.Toma(), V{"UPDATE 80"});
  EXPECT_EQ(e.Resultado("Gafete_Ok.txt"), gafetes);
}

// An index that compares its column in another collation than the column's
// ("g100" equals "G100" for the index only) cannot be guarded by comparing
// the values: each change alone, and the line that takes the code before a
// later line frees it is refused, as one record at a time refuses it.
TEST_P(TrampasPostgreSqlPor, UnIndiceConOtraIntercalacionNoSeGuarda) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "CREATE COLLATION ci (provider = icu, locale = 'und-u-ks-level1', deterministic = false)");
  e.Base().Execute("CREATE TABLE Insignia (ID INT PRIMARY KEY, Codigo TEXT COLLATE \"C\")");
  e.Base().Execute("CREATE UNIQUE INDEX insignia_codigo ON Insignia (Codigo COLLATE ci)");
  e.Base().Execute("INSERT INTO Insignia SELECT g, 'G' || g FROM generate_series(1, 300) AS g");
  e.Tabla("Insignia", "ID", {"ID", "Codigo"});
  V lineas;
  for (int id = 1; id <= 80; ++id) {
    if (id == 41) lineas.insert(lineas.end(), {"250,g100", "100,H100"});
    lineas.push_back(std::to_string(id) + ",H" + std::to_string(id));
  }
  e.Fuente("Insignia.txt", lineas);
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Resultado("Insignia_Er.txt").size(), 1u);
  EXPECT_EQ(e.Resultado("Insignia_Ok.txt").size(), lineas.size() - 1);
  const Filas leidas = e.Lee("Insignia", {"ID", "Codigo"});
  for (const V& fila : {V{"100", "H100"}, V{"250", "G250"}})
    EXPECT_NE(std::find(leidas.begin(), leidas.end(), fila), leidas.end()) << fila[0];
}

// A table with rules: PostgreSQL refuses RETURNING on an UPDATE that a
// conditional DO INSTEAD rule rewrites, and a COPY runs no rule at all. Each
// batch size gives what one record at a time gives: changes the rule lets
// through are made, the one it turns into nothing is not found, and every
// new row passes through the INSERT rule.
TEST_P(TrampasPostgreSqlPor, UnaTablaConReglasSeEscribeComoRegistroPorRegistro) {
  for (long lote : kLotes) {
    SCOPED_TRACE(TextoLote(lote));
    EntornoImportacion e(GetParam());
    e.Base().Execute("CREATE TABLE Puesto (ID INT, Nombre VARCHAR(10))");
    e.Base().Execute("CREATE TABLE Alta (ID INT)");
    e.Base().Execute(
        "CREATE RULE congelado AS ON UPDATE TO Puesto WHERE OLD.Nombre = 'fijo' DO INSTEAD "
        "NOTHING");
    e.Base().Execute(
        "CREATE RULE anota AS ON INSERT TO Puesto DO ALSO INSERT INTO Alta VALUES "
        "(NEW.ID)");
    e.Base().Execute("INSERT INTO Puesto VALUES (1, 'uno'), (2, 'fijo'), (3, 'tres')");
    e.Base().Execute("DELETE FROM Alta");
    e.Tabla("Puesto", "ID", {"ID", "Nombre"});
    const V lineas = {"1,Uno", "2,Dos", "4,Cuatro", "3,Tres", "4,Otro", "5,Cinco"};
    e.Fuente("Puesto.txt", lineas);
    EXPECT_EQ(e.Importa(Lote(lote)), 1);
    EXPECT_EQ(e.Resultado("Puesto_Ok.txt"),
              (V{lineas[0], lineas[2], lineas[3], lineas[4], lineas[5]}));
    const V er = e.Resultado("Puesto_Er.txt");
    ASSERT_EQ(er.size(), 1u);
    EXPECT_TRUE(er[0].starts_with(lineas[1] + "(No se encuentra la fila")) << er[0];
    EXPECT_EQ(e.Lee("Puesto", {"ID", "Nombre"}),
              (Filas{{"1", "Uno"}, {"2", "fijo"}, {"3", "Tres"}, {"4", "Otro"}, {"5", "Cinco"}}));
    EXPECT_EQ(e.Lee("Alta", {"ID"}), (Filas{{"4"}, {"5"}}));
  }
}

// Values longer than their column allows, in columns whose length the
// program does not know (a bit string, a domain over a text of four): the
// database refuses them, in a batch too, where the rows read before are
// changed through arrays of the columns' types. Cut short to fit, they were
// stored and reported imported.
TEST_P(TrampasPostgreSqlPor, UnValorMasLargoQueSuColumnaNoSeRecorta) {
  for (long lote : kLotes) {
    SCOPED_TRACE(TextoLote(lote));
    EntornoImportacion e(GetParam());
    e.Base().Execute("CREATE DOMAIN Corto AS VARCHAR(4)");
    e.Base().Execute("CREATE TABLE Marca (ID INT, Bits BIT(3), Clave Corto, N INT)");
    e.Base().Execute("INSERT INTO Marca VALUES (1, '101', 'abcd', 0), (2, '010', 'efgh', 0)");
    e.Tabla("Marca", "ID", {"ID", "Bits", "Clave", "N"});
    const V lineas = {"1,1011,,1", "2,,efghi,2", "3,1100,,3", "2,111,ijkl,4"};
    e.Fuente("Marca.txt", lineas);
    EXPECT_EQ(e.Importa(Lote(lote)), 1);
    EXPECT_EQ(e.Resultado("Marca_Ok.txt"), V{lineas[3]});
    EXPECT_EQ(e.Resultado("Marca_Er.txt").size(), 3u);
    EXPECT_EQ(e.Lee("Marca", {"ID", "Bits", "Clave", "N"}),
              (Filas{{"1", "101", "abcd", "0"}, {"2", "111", "ijkl", "4"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Caminos, TrampasPostgreSqlPor,
                         ::testing::Values(MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc),
                         NombreMotor);

// A batch sends each column as one array in PostgreSQL's text form, where
// quotes, backslashes, braces and the word NULL mean something: natively and
// through psqlODBC, new rows and changes in one statement each, every text
// stored as the source wrote it.
TEST(TrampasPostgreSql, TextosQueUnArregloDebeEscaparLleganComoSon) {
  const V textos = {"di \"si\"", "a\\b", "{x}", "NULL", "}{", "o'k", "año \\\" fin"};
  for (MotorPrueba motor : {MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc}) {
    SCOPED_TRACE(NombreDeMotor(motor));
    EntornoImportacion e(motor);
    e.Base().Execute("CREATE TABLE Textos (ID INT NOT NULL PRIMARY KEY, T VARCHAR(20))");
    FilasPorSentencia conteo(e.Base(), "Textos");
    e.Tabla("Textos", "ID", {"ID", "T"});
    for (int paso = 0; paso < 2; ++paso) {
      V lineas;
      Filas esperadas;
      for (std::size_t i = 0; i < textos.size(); ++i) {
        const std::string& t = textos[paso ? textos.size() - 1 - i : i];
        lineas.push_back(std::to_string(i + 1) + "," + t);
        esperadas.push_back({std::to_string(i + 1), t});
      }
      e.Fuente("Textos.txt", lineas);
      EXPECT_EQ(e.Importa(), 0) << e.Resultado("Textos_Er.txt")[0];
      EXPECT_EQ(conteo.Toma(), V{(paso ? "UPDATE " : "INSERT ") + std::to_string(textos.size())});
      EXPECT_EQ(e.Lee("Textos", {"ID", "T"}), esperadas);
    }
  }
}

// A value the key column cannot hold (a uuid that is not one) makes the
// batch's lookup fail as a whole: that line is rejected with its own
// reason, the others are looked up one by one and imported, and the log
// says once why the table went slower.
TEST(TrampasPostgreSql, UnaBusquedaDeLoteQueFallaSeDiceEnElLog) {
  for (MotorPrueba motor : {MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc}) {
    SCOPED_TRACE(NombreDeMotor(motor));
    EntornoImportacion e(motor);
    e.Base().Execute("CREATE TABLE Equipo (ID uuid NOT NULL PRIMARY KEY, Nombre VARCHAR(10))");
    e.Tabla("Equipo", "ID", {"ID", "Nombre"});
    V lineas;
    for (int i = 0; i < 1500; ++i) {
      char id[40];
      std::snprintf(id, sizeof id, "a0eebc99-9c0b-4ef8-bb6d-%012d", i);
      lineas.push_back(std::string(i == 10 || i == 1200 ? "no-es-uuid" : id) + ",n");
    }
    e.Fuente("Equipo.txt", lineas);
    EXPECT_EQ(e.Importa(), 1);
    EXPECT_EQ(e.Lee("Equipo", {"Nombre"}).size(), 1498u);
    EXPECT_EQ(e.Resultado("Equipo_Er.txt").size(), 2u);
    const V log = e.Log();
    const auto avisos = std::count_if(log.begin(), log.end(), [](const std::string& l) {
      return l.find("uno por uno") != std::string::npos;
    });
    EXPECT_EQ(avisos, 1) << ::testing::PrintToString(log);
  }
}

}  // namespace
}  // namespace varlo::prueba
