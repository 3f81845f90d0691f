#pragma once
// A Kardex in memory behind the row-set interface, with scripted failures,
// so the day-writing rules can be checked one operation at a time: which
// operations ran, in what order, and what each row holds afterwards.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "common/Texto.h"
#include "db/Conexion.h"

namespace varlo::prueba {

struct GuionKardex {
  // Key: employee and "yyyy-mm-dd"; value: field (capitals) -> text.
  std::map<std::pair<std::string, std::string>, std::map<std::string, std::string>> filas;
  // Operations in order: "Abre", "BOF", "AddNew", "Asigna CAMPO=valor",
  // "Update", "CancelUpdate", "Close".
  std::vector<std::string> operaciones;
  std::vector<db::Consulta> consultas;
  // Failures: by operation name, or "Asigna CAMPO" for one field.
  std::map<std::string, ErrorVarlo> fallos;
  // Fields the table does not have (error 3265 on lookup).
  std::set<std::string> camposAusentes;

  void Falla(const std::string& operacion, long numero, const std::string& descripcion) {
    fallos.insert_or_assign(operacion, ErrorVarlo(numero, "Prueba", descripcion));
  }
  void Registra(const std::string& operacion) {
    operaciones.push_back(operacion);
    auto f = fallos.find(operacion);
    if (f != fallos.end()) throw f->second;
  }
  std::size_t Cuenta(const std::string& operacion) const {
    std::size_t n = 0;
    for (const auto& o : operaciones) n += o == operacion;
    return n;
  }
};

class RecordsetGuionado : public db::Recordset {
 public:
  RecordsetGuionado(GuionKardex& g, const db::Consulta& c) : g_(g) {
    for (const auto& col : c.columnas) campos_.push_back({Mayusculas(col), 200, 50});
    clave_ = {db::ValorComoTexto(c.condiciones.at(0).valor),
              FormatoISO(std::get<FechaHora>(c.condiciones.at(1).valor))};
    existe_ = g_.filas.count(clave_) > 0;
  }
  int State() const override { return abierto_ ? 1 : 0; }
  bool BOF() const override {
    g_.Registra("BOF");
    return !existe_;
  }
  bool EOF_() const override { return !existe_; }
  void MoveNext() override {}
  long RecordCount() const override { return existe_ ? 1 : 0; }
  long AbsolutePosition() const override { return existe_ ? 1 : -1; }
  int FieldCount() const override { return static_cast<int>(campos_.size()); }
  const db::InfoCampo& Field(int i) const override { return campos_.at(static_cast<std::size_t>(i)); }
  int IndiceCampo(std::string_view nombre) const override {
    std::string n = Mayusculas(nombre);
    if (!g_.camposAusentes.count(n))
      for (std::size_t i = 0; i < campos_.size(); ++i)
        if (campos_[i].nombre == n) return static_cast<int>(i);
    LanzaError(errores::ElementoNoEncontrado);
  }
  const db::Valor& Value(int) const override { return nulo_; }
  void AddNew() override {
    g_.Registra("AddNew");
    modo_ = adEditAdd;
  }
  void AsignaTexto(int i, const std::string& texto) override {
    const std::string& campo = campos_.at(static_cast<std::size_t>(i)).nombre;
    auto f = g_.fallos.find("Asigna " + campo);
    g_.operaciones.push_back("Asigna " + campo + "=" + texto);
    if (f != g_.fallos.end()) throw f->second;
    pendientes_[campo] = texto;
    if (modo_ == adEditNone) modo_ = adEditInProgress;
  }
  void Asigna(int, const db::Valor&) override { LanzaError(errores::ArgumentoNoValido); }
  void AppendChunk(int, const db::Bytes&) override { LanzaError(errores::ArgumentoNoValido); }
  db::Bytes GetChunk(int, std::size_t) override { return {}; }
  long ActualSize(int) const override { return 0; }
  void Update() override {
    g_.Registra("Update");
    auto& fila = g_.filas[clave_];
    for (const auto& [campo, texto] : pendientes_) fila[campo] = texto;
    pendientes_.clear();
    modo_ = adEditNone;
    existe_ = true;
  }
  void CancelUpdate() override {
    g_.Registra("CancelUpdate");
    pendientes_.clear();
    modo_ = adEditNone;
  }
  int EditMode() const override { return modo_; }
  void Close() override {
    g_.Registra("Close");
    abierto_ = false;
  }

 private:
  GuionKardex& g_;
  std::vector<db::InfoCampo> campos_;
  std::pair<std::string, std::string> clave_;
  bool existe_ = false;
  bool abierto_ = true;
  int modo_ = adEditNone;
  std::map<std::string, std::string> pendientes_;
  db::Valor nulo_;
};

class ConexionGuionada : public db::Conexion {
 public:
  explicit ConexionGuionada(GuionKardex& g) : g_(g) {}
  int State() const override { return 1; }
  db::Motor MotorBD() const override { return db::Motor::SQLite; }
  const db::Dialecto& DialectoBD() const override { LanzaError(errores::ArgumentoNoValido); }
  void Execute(const std::string&) override {}
  std::unique_ptr<db::Recordset> AbreConsulta(const db::Consulta& c, long maxRegistros) override {
    g_.Registra("Abre");
    if (maxRegistros != 1) LanzaError(errores::ArgumentoNoValido);
    g_.consultas.push_back(c);
    return std::make_unique<RecordsetGuionado>(g_, c);
  }
  std::vector<std::string> TablasBase() override { return {"Kardex"}; }
  void Close() override {}

 private:
  GuionKardex& g_;
};

}  // namespace varlo::prueba
