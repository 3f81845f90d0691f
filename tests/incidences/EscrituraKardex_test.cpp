// One day of Kardex written through a row set that fails the way a library
// can: with an exception that is not the program's own.
#include "incidences/EscrituraKardex.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "incidences/EscenarioIncidencias.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using V = std::vector<std::string>;

// The real row set, except that assigning the text "explota" throws a
// standard exception.
class RecordsetQueFalla : public db::Recordset {
 public:
  explicit RecordsetQueFalla(std::unique_ptr<db::Recordset> rs) : rs_(std::move(rs)) {}
  int State() const override { return rs_->State(); }
  bool BOF() const override { return rs_->BOF(); }
  bool EOF_() const override { return rs_->EOF_(); }
  void MoveNext() override { rs_->MoveNext(); }
  long RecordCount() const override { return rs_->RecordCount(); }
  long AbsolutePosition() const override { return rs_->AbsolutePosition(); }
  int FieldCount() const override { return rs_->FieldCount(); }
  const db::InfoCampo& Field(int i) const override { return rs_->Field(i); }
  int IndiceCampo(std::string_view n) const override { return rs_->IndiceCampo(n); }
  const db::Valor& Value(int i) const override { return rs_->Value(i); }
  void AddNew() override { rs_->AddNew(); }
  void AsignaTexto(int i, const std::string& t) override {
    if (t == "explota") throw std::length_error("fallo de la biblioteca");
    rs_->AsignaTexto(i, t);
  }
  void Asigna(int i, const db::Valor& v) override { rs_->Asigna(i, v); }
  void AppendChunk(int i, const db::Bytes& b) override { rs_->AppendChunk(i, b); }
  db::Bytes GetChunk(int i, std::size_t n) override { return rs_->GetChunk(i, n); }
  long ActualSize(int i) const override { return rs_->ActualSize(i); }
  void Update() override { rs_->Update(); }
  void CancelUpdate() override { rs_->CancelUpdate(); }
  int EditMode() const override { return rs_->EditMode(); }
  void Close() override { rs_->Close(); }

 private:
  std::unique_ptr<db::Recordset> rs_;
};

class ConexionQueFalla : public db::Conexion {
 public:
  explicit ConexionQueFalla(db::Conexion& cn) : cn_(cn) {}
  int State() const override { return cn_.State(); }
  db::Motor MotorBD() const override { return cn_.MotorBD(); }
  const db::Dialecto& DialectoBD() const override { return cn_.DialectoBD(); }
  void Execute(const std::string& sql) override { cn_.Execute(sql); }
  std::unique_ptr<db::Recordset> AbreConsulta(const db::Consulta& c, long n) override {
    return std::make_unique<RecordsetQueFalla>(cn_.AbreConsulta(c, n));
  }
  std::vector<std::string> TablasBase() override { return cn_.TablasBase(); }
  void BeginTrans() override { cn_.BeginTrans(); }
  void CommitTrans() override { cn_.CommitTrans(); }
  void RollbackTrans() noexcept override { cn_.RollbackTrans(); }
  bool EnTransaccion() const override { return cn_.EnTransaccion(); }
  void Close() override { cn_.Close(); }

 private:
  db::Conexion& cn_;
};

TEST(KardexDay, AForeignExceptionRejectsOnlyItsRecord) {
  CarpetaTemporal tmp;
  const std::string cadena = prueba::BaseDatosPrueba::SQLite(tmp.Ruta());
  auto real = db::Conexion::Abre(cadena);
  ConexionQueFalla cn(*real);
  auto d = prueba::LeeDefinicionDe(
      tmp,
      "[Planeacion Faltas]\r\nFormato=3\r\nColumnas=3\r\nCampoColumna1=ID_Empleado\r\n"
      "CampoColumna2=Fecha1\r\nCampoColumna3=ID_Tipo\r\n");
  ResultadosIncidencias resultados;
  resultados.Er.Inicia(tmp.Archivo("er.txt"), Codificacion::Ansi);
  resultados.Ok.Inicia(tmp.Archivo("ok.txt"), Codificacion::Ansi);
  const FechaHora dia{2006, 8, 1, 0, 0, 0};
  {
    EscrituraKardex kardex(d, cn, resultados);
    EXPECT_EQ(kardex.EscribeDia("7,2006-08-01,explota", {"7", "2006-08-01", "explota"}, dia),
              EscrituraKardex::Resultado::RegistroAbandonado);
    EXPECT_EQ(kardex.NumeroError(), errores::ExcepcionAjena);
    EXPECT_EQ(kardex.EscribeDia("8,2006-08-01,F", {"8", "2006-08-01", "F"}, dia),
              EscrituraKardex::Resultado::DiaHecho);
  }
  resultados.Escribe(resultados.TomaRetenidas());
  resultados.Er.Cierra();
  resultados.Ok.Cierra();
  EXPECT_EQ(prueba::LineasDe(tmp.Archivo("er.txt")),
            V{"7,2006-08-01,explota(fallo de la biblioteca,3)"});
  EXPECT_EQ(prueba::LineasDe(tmp.Archivo("ok.txt")), V{"8,2006-08-01,F"});
  EXPECT_EQ(prueba::Filas(cadena, "Kardex", {"Id_Empleado", "ID_Tipo"}), V{"8|F"});
}

}  // namespace
}  // namespace varlo
