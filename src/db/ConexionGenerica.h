#pragma once
// The connection every backend shares: the backend runs the statements, the
// dialect of the database it reached writes them.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/Backend.h"
#include "db/Conexion.h"
#include "db/EscriturasDiferidas.h"
#include "db/RecordsetGenerico.h"

namespace varlo::db {

class ConexionGenerica final : public Conexion {
 public:
  explicit ConexionGenerica(std::unique_ptr<Backend> backend);

  int State() const override;
  Motor MotorBD() const override { return backend_->MotorBD(); }
  const Dialecto& DialectoBD() const override { return *dialecto_; }
  void Execute(const std::string& sql) override;
  std::unique_ptr<Recordset> AbreConsulta(const db::Consulta& consulta, long maxRegistros) override;
  std::unique_ptr<Recordset> ReabreConsulta(const db::Consulta& consulta, long maxRegistros,
                                            std::unique_ptr<Recordset> anterior) override;
  bool AnticipaBusquedas(const Consulta& modelo) const override;
  std::optional<LoteLeido> BuscaLote(const Consulta& modelo, const std::vector<Valor>& llaves,
                                     const std::vector<std::string>* leidas = nullptr) override;
  std::unique_ptr<Recordset> ReabreConsultaLeida(const Consulta& consulta,
                                                 std::unique_ptr<Recordset> anterior,
                                                 const std::vector<InfoCampo>& campos,
                                                 std::vector<std::vector<Valor>> filas,
                                                 unsigned long version) override;
  unsigned long Epoca() const override { return epoca_; }
  void DifiereInserciones(bool activa) override;
  void EscribeRetenidas() override { backend_->EscribeAhora(); }
  bool RetenidasRechazadas() const override { return backend_->Rechazadas(); }
  bool PuntoAdmitido() const override { return backend_->PuntoAdmitido(); }
  void MarcaPunto() override;
  void LiberaPunto() override;
  void VuelveAlPunto() override;
  bool PuntoTrasEscribirAdmitido() const override { return backend_->PuntoTrasEscribirAdmitido(); }
  void MarcaPuntoTrasEscribir() override;
  std::size_t PuntosMarcados() const override { return backend_->PuntosMarcados(); }
  std::string NombreTabla(const std::string& comoEscrito) override;
  std::vector<std::string> TablasBase() override;
  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() noexcept override;
  bool EnTransaccion() const override;
  bool TransaccionSigueAbierta() override;
  void Close() override;

 private:
  void CompruebaAbierta() const;
  bool TieneLocalizador(const std::string& tabla);
  // The rows of a query from the database, each with its locator when asked.
  ResultadoConsulta Lee(const Consulta& consulta, bool conLocalizador, long maxRegistros);
  // The query with its table and column names in the catalog's spelling.
  // `compruebaValores`: a condition value the query cannot take is refused
  // (a batch's model holds whatever record filled it last: its keys are checked apart).
  Consulta EnCatalogo(const Consulta& consulta, bool compruebaValores = true);

  // What the catalog says of a table: its name and its columns' names.
  struct NombresCatalogo {
    std::string tabla;  // as written ("[rrhh].[Empleado]")
    std::vector<std::string> columnas;
  };
  const NombresCatalogo& Catalogo(const std::string& tabla);
  void OlvidaCatalogo();

  // The names of the last query as given and in the catalog's spelling: a
  // table's lookups all name the same columns, matched once, not per record.
  struct NombresConsulta {
    std::string tabla;
    std::vector<std::string> columnas;
    std::vector<std::string> condiciones;
  };
  static bool MismosNombres(const NombresConsulta& n, const Consulta& c);
  std::optional<std::pair<NombresConsulta, NombresConsulta>> ultimaConsulta_;
  // Changes with ultimaConsulta_: a row set opened with the names of this
  // generation may be opened again for a query of the same names.
  unsigned long generacion_ = 1;
  // The result's column names as statements write them, shared by the row
  // sets of every lookup that returns the same columns.
  std::shared_ptr<const std::vector<std::string>> Escritos(const std::vector<InfoCampo>& campos);
  std::vector<std::string> nombresLeidos_;
  std::shared_ptr<const std::vector<std::string>> escritos_;

  // shared with the row sets, which may outlive a closed connection
  std::shared_ptr<const Dialecto> dialecto_;
  std::shared_ptr<EscriturasDiferidas> backend_;
  std::map<std::string, bool> localizadores_;  // per table as the dialect writes it
  std::optional<std::pair<std::string, bool>> ultimoLocalizador_;  // the last table asked, as given
  // The row set `anterior` when it may be opened again for `dada`.
  RecordsetGenerico* Reutilizable(Recordset* anterior, const Consulta& dada);
  unsigned long epoca_ = 1;
  // The hashes, sorted, of the keys (loose, SueltaLlave) of
  // the last batch fetched ahead: the rows held since are rows of those keys.
  std::vector<std::size_t> sueltasAnteriores_;
  // The same of every batch fetched ahead in the open transaction, while
  // they all had a loose form and were not too many; otherwise nothing may
  // be read on the backend's session of its own until the transaction ends.
  std::vector<std::size_t> sueltasTransaccion_;
  bool leeAparte_ = true;
  // The key values of the record being looked up (kept for their memory).
  std::vector<Valor> llavesRegistro_;
  // At a transaction's end or start: nothing read ahead or written in the
  // last one counts any more.
  void OlvidaTransaccion() noexcept;
  // A lookup of the table fetched ahead read here, not served from the
  // batch (a key repeated in it, a record after the batch was done again):
  // its record may hold a row of that key too, so the transaction's keys
  // take it and the next batch writes what is held before its lookups.
  void NotaLlaveLeida(const Consulta& consulta, const std::vector<Valor>& valores);
  // The fields of the last batch of a table read with every column of its
  // select list: a later batch of that select list reads only the columns
  // its records read and is given these fields.
  struct CamposLote {
    std::string tabla;
    std::vector<std::string> columnas;
    std::vector<InfoCampo> campos;
  };
  std::optional<CamposLote> camposLote_;
  // The select list of `modelo` narrowed to the columns read (`leidas`, the
  // keys, binary columns), with each one's place among the whole list's;
  // nothing when every column is read or the whole list's fields are unknown.
  std::optional<std::pair<Consulta, std::vector<std::size_t>>> Estrecha(
      const Consulta& modelo, const std::vector<std::string>& leidas) const;
  // the table (catalog spelling) of the last batch fetched ahead
  std::string tablaAnticipada_;
  // per table as given; forgotten after any statement given as text, which
  // may change the schema
  std::map<std::string, NombresCatalogo> catalogo_;
};

}  // namespace varlo::db
