#pragma once
// The lookups of a batch's records, read in as few queries as the database
// allows (Conexion::BuscaLote) and served here to each record in turn: a
// key gets its row, or its absence, once; a key the batch cannot answer
// for sure, and every lookup after the transaction changed, is read from
// the database.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/Conexion.h"
#include "import/BusquedasAnticipadas.h"

namespace varlo {

class BusquedasDelLote {
 public:
  // Reads the lookups of `modelo` for those keys (the values of its
  // conditions, key after key). A failure of the run is raised; any other
  // leaves the records to their own lookups, and the first such failure is
  // said through `aviso` (the table is slower from there, and why).
  // `leidas`: the columns besides the keys whose values the records read
  // (Conexion::BuscaLote).
  void Busca(db::Conexion& cn, const db::Consulta& modelo, const std::vector<db::Valor>& llaves,
             const std::vector<std::string>* leidas = nullptr);
  void AvisaFallas(std::function<void(const std::string&)> aviso) { aviso_ = std::move(aviso); }
  // The row set of `consulta` (a record's lookup), opened again: over the
  // batch's rows for its key when it has them, otherwise from the database.
  // The engines refill the very query object they gave as the model: its
  // names need no comparing then.
  std::unique_ptr<db::Recordset> Reabre(db::Conexion& cn, const db::Consulta& consulta,
                                        std::unique_ptr<db::Recordset> anterior);
  // After a record changed the row it was served, or added one: a later
  // record of the batch with the same key is served that row as the record
  // left it, without asking the database, which would first have to write
  // what is held. A row without its locator (added, or moved by its change)
  // is changed by its keys, and served only when its keys and the fields
  // `exigidos` (besides the keys, those a record reads) hold a value: a new
  // row's other columns take their defaults only once written.
  void Cambiada(const db::Conexion& cn, const db::Recordset& rs,
                const std::vector<int>& exigidos = {});

 private:
  BusquedasAnticipadas anticipadas_;
  unsigned long epoca_ = 0;  // of the connection when the batch was read
  const db::Consulta* modelo_ = nullptr;
  std::function<void(const std::string&)> aviso_;
  bool avisada_ = false;
};

}  // namespace varlo
