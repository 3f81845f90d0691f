// Rows held for a batch: written together, in order, before any other
// statement; dropped by a rollback; and a failure while writing them is the
// batch's (class LoteDiferido), unless the connection itself is gone.
#include "db/EscriturasDiferidas.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "db/ErrorBaseDatos.h"

namespace varlo::db {
namespace {

// Records the texts it is given; Ejecuta runs `falla` first when set.
class BackendQueAnota final : public Backend {
 public:
  std::vector<std::string>* textos = nullptr;
  std::function<void()> falla;
  bool copia = false;  // writes new rows its own way

  Motor MotorBD() const override { return Motor::SQLite; }
  bool Abierta() const override { return true; }
  ResultadoConsulta Consulta(const SentenciaSql& s, long) override {
    textos->push_back(s.texto);
    return {};
  }
  long Ejecuta(const SentenciaSql& s) override {
    if (falla) falla();
    textos->push_back(s.texto + " [" + std::to_string(s.parametros.size()) + "]");
    return 1;
  }
  std::vector<std::string> TablasBase() override { return {}; }
  void IniciaTransaccion() override {}
  void ConfirmaTransaccion() override { textos->push_back("COMMIT"); }
  void DeshaceTransaccion() noexcept override { textos->push_back("ROLLBACK"); }
  bool EnTransaccion() const override { return true; }
  std::optional<bool> TieneLocalizador(const std::string&) override { return true; }
  void Cierra() override {}
  bool CopiaFilasAdmitida() const override { return copia; }
  void CopiaFilas(const std::string& tabla, const std::vector<std::string>& columnas,
                  const std::vector<std::vector<Valor>>& filas) override {
    if (falla) falla();
    std::string t = "copy " + tabla;
    for (const std::string& c : columnas) t += " " + c;
    textos->push_back(t + " [" + std::to_string(filas.size()) + "]");
  }
};

struct Entorno {
  std::vector<std::string> textos;
  BackendQueAnota* backend = nullptr;
  std::unique_ptr<EscriturasDiferidas> diferidas;

  Entorno() {
    auto b = std::make_unique<BackendQueAnota>();
    b->textos = &textos;
    backend = b.get();
    diferidas = std::make_unique<EscriturasDiferidas>(
        std::move(b), std::shared_ptr<const Dialecto>(CreaDialecto(Motor::SQLite)));
  }
  bool Fila(const std::string& tabla, std::vector<std::pair<std::string, Valor>> v) {
    return diferidas->Difiere(tabla, v);
  }
};

TEST(EscriturasDiferidas, LasFilasSeEscribenJuntasYEnOrdenAntesDeOtraSentencia) {
  Entorno e;
  EXPECT_FALSE(e.Fila("T", {{"A", std::int64_t{1}}}));  // not active: written at once
  e.diferidas->Activa(true);
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}, {"B", std::string("x")}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}, {"B", std::string("y")}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{3}}}));  // other columns: a statement of its own
  EXPECT_TRUE(e.textos.empty());
  e.diferidas->Consulta({"select 1", {}}, 0);
  EXPECT_EQ(e.textos, (std::vector<std::string>{
                          "insert into \"T\" (\"A\", \"B\") values (?, ?), (?, ?) [4]",
                          "insert into \"T\" (\"A\") values (?) [1]",
                          "select 1",
                      }));

  // a rollback drops what is held; a commit writes it first
  e.textos.clear();
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{4}}}));
  e.diferidas->DeshaceTransaccion();
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{5}}}));
  e.diferidas->ConfirmaTransaccion();
  EXPECT_EQ(e.textos, (std::vector<std::string>{
                          "ROLLBACK", "insert into \"T\" (\"A\") values (?) [1]", "COMMIT"}));
}

// A backend with a copy of its own gets every consecutive row of one shape
// at once, past the markers a statement could carry; a refused copy is the
// batch's, as a refused statement is.
TEST(EscriturasDiferidas, UnaCopiaLlevaTodasLasFilasDeUnaFormaYSuRechazoEsDelLote) {
  Entorno e;
  e.backend->copia = true;
  e.diferidas->Activa(true);
  for (std::int64_t i = 0; i < 1500; ++i) ASSERT_TRUE(e.Fila("T", {{"A", i}, {"B", i}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}, {"B", std::int64_t{2}}}));
  e.diferidas->Ejecuta({"select 1", {}});
  EXPECT_EQ(e.textos,
            (std::vector<std::string>{"copy \"T\" \"A\" \"B\" [1500]", "copy \"T\" \"A\" [1]",
                                      "copy \"T\" \"A\" \"B\" [1]", "select 1 [0]"}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
  e.backend->falla = [] { throw ErrorVarlo(-1, "PostgreSQL", "duplicate key"); };
  try {
    e.diferidas->ConfirmaTransaccion();
    ADD_FAILURE() << "the refusal must come back";
  } catch (const ErrorVarlo& error) {
    EXPECT_EQ(ClaseDe(error), ErrorBaseDatos::Clase::LoteDiferido) << error.Descripcion();
  }
}

TEST(EscriturasDiferidas, UnFalloAlEscribirLasEsDelLoteSalvoLaConexionPerdida) {
  const std::pair<std::function<void()>, ErrorBaseDatos::Clase> casos[] = {
      {[] { throw ErrorVarlo(-1, "SQLite", "UNIQUE constraint failed"); },
       ErrorBaseDatos::Clase::LoteDiferido},
      {[] { throw std::runtime_error("sin memoria"); }, ErrorBaseDatos::Clase::LoteDiferido},
      {[] {
         throw ErrorBaseDatos(-1, "SQLite", "disk I/O error",
                              ErrorBaseDatos::Clase::ConexionPerdida);
       },
       ErrorBaseDatos::Clase::ConexionPerdida},
  };
  for (const auto& [falla, clase] : casos) {
    Entorno e;
    e.diferidas->Activa(true);
    ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
    e.backend->falla = falla;
    try {
      e.diferidas->ConfirmaTransaccion();
      ADD_FAILURE() << "the refusal must come back";
    } catch (const ErrorVarlo& error) {
      EXPECT_EQ(ClaseDe(error), clase) << error.Descripcion();
    }
    // nothing is held any more: the caller does the batch again
    e.backend->falla = nullptr;
    e.diferidas->ConfirmaTransaccion();
    EXPECT_EQ(e.textos, (std::vector<std::string>{"COMMIT"}));
  }
}

}  // namespace
}  // namespace varlo::db
