#pragma once
// The row set every backend shares: the fetched rows kept in memory, field
// lookup, assignment with the conversion checks, and the explicit INSERT or
// UPDATE of the assigned columns on Update.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/Backend.h"
#include "db/EscriturasDiferidas.h"
#include "db/Recordset.h"

namespace varlo::db {

class RecordsetGenerico final : public Recordset {
 public:
  // `conLocalizador`: the dialect's locator columns end every row of `resultado`.
  // `escritos`, when given: the names of the result's columns as a statement
  // writes them (ComoEscrito), in their order.
  RecordsetGenerico(std::shared_ptr<EscriturasDiferidas> backend,
                    std::shared_ptr<const Dialecto> dialecto, db::Consulta consulta,
                    ResultadoConsulta resultado, bool conLocalizador,
                    std::shared_ptr<const std::vector<std::string>> escritos = nullptr);

  // Whether this row set may be opened again for a query of the same
  // names (Reabre): it belongs to that backend and was opened with the
  // catalog names of that generation.
  bool Reutilizable(const Backend* backend, unsigned long generacion) const noexcept {
    return backend_.get() == backend && generacion_ == generacion && generacion != 0;
  }
  void EstableceGeneracion(unsigned long generacion) noexcept { generacion_ = generacion; }
  // The query it was opened with (catalog names), its condition values and
  // classes then taken from `dada`, a query of the same names as given;
  // nothing when `dada` is written with other words.
  const db::Consulta* ConsultaConValores(const db::Consulta& dada);
  // Opens it again over the result of that query: nothing that was pending
  // or read before stays. `campos` as in a ResultadoConsulta (the locator's
  // last); true when they differ from the last ones (EstableceEscritos).
  // `version`, when not 0, names `campos`: the same version, the same fields.
  bool Reabre(const std::vector<InfoCampo>& campos, std::vector<std::vector<Valor>> filas,
              bool conLocalizador, unsigned long version = 0);
  void EstableceEscritos(std::shared_ptr<const std::vector<std::string>> escritos) {
    escritos_ = std::move(escritos);
  }

  int State() const override { return abierto_ ? 1 : 0; }
  bool BOF() const override;
  bool EOF_() const override;
  void MoveNext() override;
  long RecordCount() const override;
  long AbsolutePosition() const override;

  int FieldCount() const override;
  const InfoCampo& Field(int indice) const override;
  int IndiceCampo(std::string_view nombre) const override;
  const Valor& Value(int indice) const override;

  void AddNew() override;
  void AsignaTexto(int indice, const std::string& texto) override;
  void Asigna(int indice, const Valor& valor) override;
  void AppendChunk(int indice, const Bytes& trozo) override;
  Bytes GetChunk(int indice, std::size_t cuantos) override;
  long ActualSize(int indice) const override;

  void Update() override;
  std::optional<std::vector<Valor>> FilaComoLeida(
      const std::vector<int>& exigidos = {}) const override;
  void CancelUpdate() override;
  int EditMode() const override { return modo_; }
  void Close() override;

 private:
  void CompruebaAbierto() const;
  void CompruebaIndice(int indice) const;
  void CompruebaFilaActual() const;
  bool HayFila() const;
  void Pendiente(int indice, Valor v);
  void OlvidaPendientes();
  void PreparaTrozos();
  void SigueClave();
  void TomaFilas(ResultadoConsulta resultado);
  // Which fields the query's conditions name: worked out when the fields change.
  void MarcaLlaves();
  // The rows of a result whose fields are already in campos_; the locator's
  // `columnasLocalizador` last columns of each row kept apart.
  void SeparaLocalizadores(std::vector<std::vector<Valor>> filas, std::size_t columnasLocalizador);
  void Inserta(std::vector<std::pair<std::string, Valor>> valores);
  // `valores` may be taken (moved from) when the change is held for later.
  void ActualizaFila(std::vector<std::pair<std::string, Valor>>& valores);
  std::vector<std::pair<std::string, Valor>> Asignados() const;
  // Whether the current row has its locator.
  bool FilaLocalizada() const;

  // the connection's, which may hold its new rows and changes for a batch
  std::shared_ptr<EscriturasDiferidas> backend_;
  std::shared_ptr<const Dialecto> dialecto_;
  db::Consulta consulta_;
  std::vector<InfoCampo> campos_;
  std::shared_ptr<const std::vector<std::string>> escritos_;
  std::vector<std::vector<Valor>> filas_;
  // per value of a held change, its place among the row's assigned values
  std::vector<std::size_t> origenes_;
  bool conLocalizador_;
  unsigned long generacion_ = 0;  // of the catalog names it was opened with; 0: none
  unsigned long versionCampos_ = 0;
  std::vector<std::vector<Valor>> localizadores_;  // per row; empty without a locator
  std::size_t posicion_ = 0;                       // filas_.size(): past the last row
  bool abierto_ = true;
  int modo_ = adEditNone;
  std::vector<std::optional<Valor>> pendientes_;
  std::vector<bool> esLlave_;                                // per field
  std::vector<std::vector<std::size_t>> camposDeCondicion_;  // per condition
  std::vector<bool> trozosIniciados_;
  std::vector<std::size_t> caracteresTrozos_;  // characters appended so far, for the size check
  std::vector<std::size_t> lecturaTrozos_;
};

}  // namespace varlo::db
