#pragma once
// The lookups of a batch of records fetched in one query: one row (or none)
// per key value, each handed out once to the record that asks for it, so a
// later record with the same key still sees what an earlier one wrote.
//
// A key (the values of the query's conditions) is matched to its row only
// by exact equality of the values; a row the database matched by looser
// rules (padding, case, collation, "007" for 7) leaves that key to its own
// lookup. Not-found is trusted only when every row returned matched a key
// exactly.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/Backend.h"
#include "db/Consulta.h"

namespace varlo {

class BusquedasAnticipadas {
 public:
  // Keys whose lookups may be served, with the model query they belong to:
  // `llaves` are the values of the model's conditions, key after key, and
  // `sueltas` each key's loose form (db::SueltaLlave), in that order.
  // `generacion`, when not 0, names the model's table and column names:
  // a query of the same generation is known to name the same.
  void Llena(const db::Consulta& modelo, const std::vector<db::Valor>& llaves,
             const std::vector<std::string>& sueltas, db::ResultadoConsulta filas,
             std::size_t columnasLocalizador, unsigned long generacion);

  // The rows (none or one; its fields are Campos) of that query when its
  // key was fetched in advance, taken out of the store (a second lookup of
  // the same key goes to the database).
  std::optional<std::vector<std::vector<db::Valor>>> TomaFilas(const db::Consulta& consulta,
                                                               unsigned long generacion = 0);
  const std::vector<db::InfoCampo>& Campos() const noexcept { return campos_; }
  // Changes whenever Campos does; never 0.
  unsigned long VersionCampos() const noexcept { return versionCampos_; }

  // Whether the key served last is asked for again later in the batch.
  bool SeRepite() const noexcept {
    return ultima_ < entradas_.size() && entradas_[ultima_].porPreguntar > 0;
  }
  // The row of the key served last as its record left it (its fields as
  // Campos gives them): the next record that asks for that key is served it.
  void Renueva(std::vector<db::Valor> fila);

  void Olvida() noexcept;
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
  bool MismoModelo(const db::Consulta& c, unsigned long generacion) const;
  // The entry of that loose key, nullptr when there is none.
  Entrada* Busca(const std::string& suelta);

  db::Consulta modelo_;
  std::vector<db::Valor> valores_;  // the key values of the record asking
  std::vector<db::InfoCampo> campos_;
  unsigned long generacion_ = 0;
  unsigned long versionCampos_ = 1;
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
};

}  // namespace varlo
