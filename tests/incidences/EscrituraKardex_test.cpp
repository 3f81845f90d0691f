// One day of one record into Kardex: the lookup, the values written, the
// record-level rule with its continuation, and the result lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Codificacion.h"
#include "db/Dialecto.h"
#include "incidences/AyudaIncidencias.h"
#include "incidences/EscrituraKardex.h"
#include "incidences/KardexGuionado.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::ConexionGuionada;
using prueba::GuionKardex;
using prueba::LeeBytes;
using V = std::vector<std::string>;

FechaHora F(int a, int m, int d) { return FechaHora{a, m, d, 0, 0, 0}; }

TEST(KardexQuery, TextInEachDialect) {
  CarpetaTemporal tmp;
  auto d = prueba::LeeDefinicionDe(tmp, prueba::kSeccionGenerada).d;

  // An apostrophe in the employee is doubled, never closing the literal.
  auto consulta = EscrituraKardex::ConsultaDia(d, "123", F(2006, 8, 3));
  auto apostrofo = EscrituraKardex::ConsultaDia(d, "O'Brien", F(2006, 12, 31));
  auto servidor = db::CreaDialecto(db::Motor::SqlServer)->Select(apostrofo);
  EXPECT_EQ(servidor.texto,
            "select ID_Empleado, Fecha, ID_Tipo, Dato0_FAL, Dato1_FAL, Dato2_FAL, Dato3_FAL, "
            "Dato4_FAL, Dato5_FAL, Referencia from Kardex where Id_Empleado = 'O''Brien' and "
            "Fecha={d '2006-12-31'}");
  EXPECT_TRUE(servidor.parametros.empty());

  // SQLite and PostgreSQL bind both keys: the text does not change from day to day.
  for (db::Motor motor : {db::Motor::SQLite, db::Motor::PostgreSql}) {
    auto dialecto = db::CreaDialecto(motor);
    auto s = dialecto->Select(apostrofo);
    EXPECT_EQ(s.texto, dialecto->Select(consulta).texto);
    EXPECT_EQ(s.texto.find("O'Brien"), std::string::npos);
    ASSERT_EQ(s.parametros.size(), 2u);
    EXPECT_EQ(db::ValorComoTexto(s.parametros[0]), "O'Brien");
    EXPECT_EQ(db::ValorComoTexto(s.parametros[1]), "2006-12-31");
  }
}

class KardexDay : public ::testing::Test {
 protected:
  KardexDay() : cn_(guion_), resultados_([this] { ++rechazos_; }) {
    d_ = prueba::LeeDefinicionDe(tmp_, prueba::kSeccionGenerada).d;
    resultados_.Ok.Inicia(tmp_.Archivo("ok.txt"), Codificacion::Ansi);
    resultados_.Er.Inicia(tmp_.Archivo("er.txt"), Codificacion::Ansi);
  }

  // Employee 7, "ID_Tipo" F, Dato0 "x", Referencia "ref": the values of a split line.
  V Valores(const std::string& empleado = " 7 ") {
    V v(11);
    v[0] = empleado;
    v[1] = "2001-01-01";  // never written: the day is
    v[2] = "2001-01-09";
    v[3] = "F";
    v[4] = " x ";
    v[10] = "ref";
    return v;
  }
  // The files are Windows-1252; compared here as text.
  std::string Ok() { return AnsiAUtf8(LeeBytes(tmp_.Archivo("ok.txt"))); }
  std::string Er() { return AnsiAUtf8(LeeBytes(tmp_.Archivo("er.txt"))); }
  std::map<std::string, std::string>& Fila(const std::string& empleado, const std::string& dia) {
    return guion_.filas[{empleado, dia}];
  }

  CarpetaTemporal tmp_;
  GuionKardex guion_;
  ConexionGuionada cn_;
  int rechazos_ = 0;
  ResultadosIncidencias resultados_;
  DefinicionIncidencias d_;
};

TEST_F(KardexDay, CalendarColumnsAreSelectedButNeverAssigned) {
  d_ = prueba::LeeDefinicionDe(tmp_, "[Planeacion Faltas]\r\nFormato=3\r\nColumnas=5\r\n"
                                     "CampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha1\r\n"
                                     "CampoColumna3=id_calendario\r\nCampoColumna4=FIAPLICACION\r\n"
                                     "CampoColumna5=fecha\r\n")
           .d;
  EXPECT_EQ(d_.CamposSelect, (V{"Id_Empleado", "Fecha", "id_calendario", "FIAPLICACION", "fecha"}));
  EscrituraKardex k(d_, cn_, resultados_);
  k.EscribeDia("L", {"9", "2006-08-01", "CAL", "2006-01-01", "1999-12-31"}, F(2006, 8, 4));
  // A column configured as "Fecha" also receives the day, not its own text.
  EXPECT_EQ(guion_.operaciones,
            (V{"Abre", "BOF", "AddNew", "Asigna ID_EMPLEADO=9", "Asigna FECHA=2006-08-04",
               "Asigna FECHA=2006-08-04", "Update", "Close"}));
}

TEST_F(KardexDay, PositiveFailureAbandonsTheRecordAndTheNextDayCancelsIt) {
  guion_.Falla("Asigna DATO0_FAL", 13, "No coinciden los tipos");
  EscrituraKardex k(d_, cn_, resultados_);
  EXPECT_EQ(k.EscribeDia("L1", Valores(), F(2006, 8, 3)),
            EscrituraKardex::Resultado::RegistroAbandonado);
  EXPECT_EQ(Er(), "L1(No coinciden los tipos,5)\r\n");
  EXPECT_EQ(Ok(), "");
  EXPECT_EQ(guion_.Cuenta("Asigna REFERENCIA=ref"), 0u);  // later columns are not written
  EXPECT_EQ(guion_.Cuenta("Update"), 0u);
  EXPECT_EQ(guion_.Cuenta("Close"), 0u);  // left open with its pending row
  EXPECT_EQ(rechazos_, 1);

  guion_.fallos.clear();
  guion_.operaciones.clear();
  EXPECT_EQ(k.EscribeDia("L2", Valores("8"), F(2006, 8, 4)),
            EscrituraKardex::Resultado::DiaHecho);
  EXPECT_EQ((V{guion_.operaciones.begin(), guion_.operaciones.begin() + 3}),
            (V{"CancelUpdate", "Close", "Abre"}));
  EXPECT_EQ(guion_.filas.count({"7", "2006-08-03"}), 0u);  // never written
  EXPECT_EQ(Ok(), "L2\r\n");
}

TEST_F(KardexDay, NegativeFailureGoesOnWithoutOkLine) {
  guion_.Falla("Asigna DATO0_FAL", -2147217887, "Error de varios pasos");
  EscrituraKardex k(d_, cn_, resultados_);
  EXPECT_EQ(k.EscribeDia("L", Valores(), F(2006, 8, 3)), EscrituraKardex::Resultado::DiaHecho);
  EXPECT_EQ(Er(), "L(Error de varios pasos,5)\r\n");
  EXPECT_EQ(guion_.Cuenta("Asigna REFERENCIA=ref"), 1u);  // the remaining columns still written
  EXPECT_EQ(guion_.Cuenta("Update"), 1u);
  EXPECT_EQ(guion_.Cuenta("Close"), 1u);
  EXPECT_EQ(Ok(), "");
  EXPECT_EQ(rechazos_, 1);
  EXPECT_EQ(k.NumeroError(), -2147217887);
}

TEST_F(KardexDay, FailedUpdateOfANewRowIsCancelledAndTheDayEnds) {
  guion_.Falla("Update", -2147217873, "restricción NOT NULL");
  EscrituraKardex k(d_, cn_, resultados_);
  EXPECT_EQ(k.EscribeDia("L", Valores(), F(2006, 8, 3)), EscrituraKardex::Resultado::DiaHecho);
  EXPECT_EQ(Er(), "L(restricción NOT NULL,0)\r\n");
  EXPECT_EQ(Ok(), "");
  V cola(guion_.operaciones.end() - 3, guion_.operaciones.end());
  EXPECT_EQ(cola, (V{"Update", "CancelUpdate", "Close"}));
}

TEST_F(KardexDay, FailedOkLineIsReportedAndTheDayStillCloses) {
  // A file that cannot take a line: every write to /dev/full fails.
  resultados_.Ok.Continua("/dev/full", Codificacion::Ansi);
  EscrituraKardex k(d_, cn_, resultados_);
  EXPECT_EQ(k.EscribeDia("L", Valores(), F(2006, 8, 3)), EscrituraKardex::Resultado::DiaHecho);
  EXPECT_EQ(Er(), "L(Disco lleno (/dev/full),0)\r\n");
  EXPECT_EQ(guion_.Cuenta("Close"), 1u);
  EXPECT_EQ(Fila("7", "2006-08-03").at("ID_TIPO"), "F");  // the row itself was written
  EXPECT_EQ(k.NumeroError(), 61);
  EXPECT_EQ(k.EscribeDia("L", Valores(), F(2006, 8, 4)), EscrituraKardex::Resultado::DiaHecho);
}

TEST_F(KardexDay, RowSetFailuresFollowTheContinuationTable) {
  // BOF unreadable: AddNew still runs; its positive number abandons before any column.
  guion_.Falla("BOF", 3021, "sin registro");
  EscrituraKardex k(d_, cn_, resultados_);
  EXPECT_EQ(k.EscribeDia("L", Valores(), F(2006, 8, 3)),
            EscrituraKardex::Resultado::RegistroAbandonado);
  EXPECT_EQ(guion_.operaciones, (V{"Abre", "BOF", "AddNew"}));

  // AddNew refused by the database (negative): the columns and Update still run.
  guion_.fallos.clear();
  guion_.operaciones.clear();
  guion_.Falla("AddNew", -1, "sin fila nueva");
  EXPECT_EQ(k.EscribeDia("M", Valores(), F(2006, 8, 4)), EscrituraKardex::Resultado::DiaHecho);
  EXPECT_EQ(guion_.Cuenta("Update"), 1u);

  // CancelUpdate failing in the closing step: Close still runs.
  guion_.fallos.clear();
  guion_.Falla("Update", -5, "rechazada");
  guion_.Falla("CancelUpdate", -6, "no cancela");
  guion_.operaciones.clear();
  EXPECT_EQ(k.EscribeDia("N", Valores("99"), F(2006, 8, 5)), EscrituraKardex::Resultado::DiaHecho);
  EXPECT_EQ(guion_.operaciones.back(), "Close");
  EXPECT_EQ(Er(),
            "L(sin registro,0)\r\nM(sin fila nueva,0)\r\nN(rechazada,0)\r\nN(no cancela,0)\r\n");
  EXPECT_EQ(rechazos_, 4);
}

TEST_F(KardexDay, FailuresOfTheLookupAndOfTheErrorFileBelongToTheRun) {
  guion_.Falla("Abre", -2147217900, "columna desconocida");
  EscrituraKardex k(d_, cn_, resultados_);
  EXPECT_THROW(k.EscribeDia("L", Valores(), F(2006, 8, 3)), ErrorVarlo);
  EXPECT_EQ(Er(), "");

  guion_.fallos.clear();
  guion_.Falla("Update", -1, "rechazada");
  resultados_.Er.Continua("/dev/full", Codificacion::Ansi);
  EXPECT_THROW(k.EscribeDia("L", Valores(), F(2006, 8, 3)), ErrorVarlo);
}

}  // namespace
}  // namespace varlo
