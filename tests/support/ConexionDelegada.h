#pragma once
// A connection that hands every call to another one, so that a test can
// watch or change a few of them. What it does not override it does as a
// backend without batches does: each lookup and write one statement.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/Conexion.h"

namespace varlo::prueba {

class ConexionDelegada : public db::Conexion {
 public:
  explicit ConexionDelegada(std::unique_ptr<db::Conexion> cn) : cn_(std::move(cn)) {}
  int State() const override { return cn_->State(); }
  db::Motor MotorBD() const override { return cn_->MotorBD(); }
  const db::Dialecto& DialectoBD() const override { return cn_->DialectoBD(); }
  void Execute(const std::string& sql) override { cn_->Execute(sql); }
  std::unique_ptr<db::Recordset> AbreConsulta(const db::Consulta& c, long maximo) override {
    return cn_->AbreConsulta(c, maximo);
  }
  std::string NombreTabla(const std::string& t) override { return cn_->NombreTabla(t); }
  std::vector<std::string> TablasBase() override { return cn_->TablasBase(); }
  void BeginTrans() override { cn_->BeginTrans(); }
  void CommitTrans() override { cn_->CommitTrans(); }
  void RollbackTrans() noexcept override { cn_->RollbackTrans(); }
  bool EnTransaccion() const override { return cn_->EnTransaccion(); }
  bool TransaccionSigueAbierta() override { return cn_->TransaccionSigueAbierta(); }
  void Close() override { cn_->Close(); }

 protected:
  std::unique_ptr<db::Conexion> cn_;
};

}  // namespace varlo::prueba
