#pragma once
// "Detalles" of the main window: one row per import of the run (its state,
// the records read, the rows added and updated, the records rejected and the
// rate), filled as the run goes, and the run's error lines as they come.
// A row whose file of rejected lines exists opens it with one click on its
// count of rejected records, or with a double click anywhere on the row.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Resumen.h"

class QLabel;
class QListWidget;
class QTableWidget;

namespace varlo::gui {

class PanelDetalles : public QWidget {
  Q_OBJECT

 public:
  // Opens a file with the desktop's program for it; false when it could not.
  using Abridor = std::function<bool(const QString& ruta)>;

  enum Columna {
    kImportacion,
    kEstado,
    kLeidas,
    kAgregadas,
    kActualizadas,
    kRechazadas,
    kRitmo,
    kColumnas
  };

  // A run that logs an error per record would fill the list without end;
  // past this many lines one line counts the rest (the log has them all).
  static constexpr int kMaxLineasError = 1000;

  explicit PanelDetalles(QWidget* padre = nullptr);

  void EstableceAbridor(Abridor abre) { abre_ = std::move(abre); }

  // The counts of the import in progress. `lineasHechas`: the source lines
  // it has taken so far; `ahoraMs`: the window's clock, for the rate.
  void Avance(const std::string& nombre, const ResumenImportacion& r, long lineasHechas,
              std::int64_t ahoraMs);
  // What became of an import once it ended (also one that never started).
  void Termina(const ImportacionCorrida& i);
  void AgregaError(const std::string& linea);
  // Shows what changed since the last call.
  void Refresca(std::int64_t ahoraMs);

  QTableWidget* tblImportaciones() const { return tabla_; }
  QListWidget* lstErrores() const { return errores_; }
  // The file of rejected lines of a row, "" when there is none on disk.
  QString ArchivoRechazados(int fila) const;

 private:
  struct Fila {
    std::string nombre;
    bool enCurso = true;
    EstadoImportacion estado = EstadoImportacion::Importada;
    std::string motivo;
    ResumenImportacion cuentas;
    long lineasHechas = 0;
    long lineasAlInicio = 0;  // when the row was added
    std::int64_t inicioMs = 0;
    bool cambiada = true;
  };

  Fila& FilaDe(const std::string& nombre);
  void PintaFila(int indice, std::int64_t ahoraMs);
  void AbreRechazados(int fila);

  QTableWidget* tabla_;
  QListWidget* errores_;
  QLabel* lblErrores_;
  Abridor abre_;
  std::vector<Fila> filas_;
  int enCurso_ = -1;  // the row of the import in progress
  std::vector<std::string> erroresPendientes_;
  long erroresOmitidos_ = 0;
  long totalErrores_ = 0;
};

}  // namespace varlo::gui
