#pragma once
// The lookups of a batch's records, read in as few queries as the database
// allows (Conexion::BuscaLote) and served to each record in turn: a key gets
// its row, or its absence, once; a key the batch cannot answer for sure, and
// every lookup after the transaction changed, is read from the database.
// A key (the values of the query's conditions) is matched to its row only by
// exact equality: a row the database matched by looser rules (padding, case,
// collation, "007" for 7) leaves that key to its own lookup, and not-found is
// trusted only when every row returned matched a key exactly.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/Conexion.h"

namespace varlo {

class BusquedasDelLote {
 public:
  // Reads the lookups of `modelo` for those keys as Conexion::BuscaLote does
  // (`leidas` too). A failure of the run is raised; any other leaves the
  // records to their own lookups, and the first such failure is said through
  // `aviso` (the table is slower from there, and why).
  void Busca(db::Conexion& cn, const db::Consulta& modelo, const std::vector<db::Valor>& llaves,
             const std::vector<std::string>* leidas = nullptr);
  void AvisaFallas(std::function<void(const std::string&)> aviso) { aviso_ = std::move(aviso); }
  // The row set of `consulta` (a record's lookup), opened again: over the
  // batch's rows for its key when it has them, otherwise from the database.
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
  // Whether the key of the last Reabre was not among those read (none read
  // for this transaction, or past where the read stopped).
  bool Desconocida() const noexcept { return desconocida_; }

 protected:
  // The store of rows itself, which its tests fill and read without a database:
  // `llaves` as for Busca, `sueltas` each key's loose form (db::SueltaLlave).
  void Llena(const db::Consulta& modelo, const std::vector<db::Valor>& llaves,
             const std::vector<std::string>& sueltas, db::ResultadoConsulta filas,
             std::size_t columnasLocalizador);
  // The rows (none or one; its fields are Campos) of that query when its
  // key was fetched in advance and not served yet.
  std::optional<std::vector<std::vector<db::Valor>>> TomaFilas(const db::Consulta& consulta);
  const std::vector<db::InfoCampo>& Campos() const noexcept { return campos_; }
  // Whether the key served last is asked for again later in the batch.
  bool SeRepite() const noexcept {
    return ultima_ < entradas_.size() && entradas_[ultima_].porPreguntar > 0;
  }
  // Cambiada's row for the key served last (its fields as Campos gives them).
  void Renueva(std::vector<db::Valor> fila);
  // Nothing kept of the last batch (served entries are kept until the next).
  bool Vacia() const noexcept { return entradas_.empty(); }

 private:
  struct Entrada {
    std::string exacta;
    std::optional<std::vector<db::Valor>> fila;
    // false once served, or once two keys (or a key and a row) of it differ
    // as written: its lookup then goes to the database
    bool viva = true;
    // its first key was given as text (a text key's loose form depends on
    // its exact text only)
    bool texto = false;
    std::uint32_t porPreguntar = 0;  // records of the batch with this key not served yet
  };
  bool MismoModelo(const db::Consulta& c) const;
  Entrada* EntradaDe(const std::string& suelta);
  void Olvida() noexcept;

  db::Consulta modelo_;
  // The object Busca was given as the model: the engines refill that very
  // object for each record, so its names need no comparing.
  const db::Consulta* objetoModelo_ = nullptr;
  std::vector<db::Valor> valores_;  // the key values of the record asking
  std::vector<db::InfoCampo> campos_;
  unsigned long versionCampos_ = 1;  // changes whenever campos_ does; never 0
  // One entry per loose key; `posiciones_` finds it by that key. Both keep
  // their memory from one batch to the next.
  std::vector<Entrada> entradas_;
  std::unordered_map<std::string, std::uint32_t> posiciones_;
  // The entry of each key, in the order given: the records ask in that
  // order, so the next one's key is checked first, without its loose form.
  std::vector<std::uint32_t> orden_;
  std::size_t siguiente_ = 0;
  // the entry served last, until the next record asks (entradas_.size(): none)
  std::size_t ultima_ = 0;
  unsigned long epoca_ = 0;  // of the connection when the batch was read
  std::function<void(const std::string&)> aviso_;
  bool avisada_ = false;
  bool desconocida_ = false;
};

}  // namespace varlo
