#include "import/BusquedasDelLote.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/DialectoBase.h"
#include "db/ErrorDeCorrida.h"
#include "db/LlaveSuelta.h"
#include "db/TiposAdo.h"

namespace varlo {

using db::ClaseLiteral, db::Consulta, db::InfoCampo, db::Predicado, db::ResultadoConsulta,
    db::Valor;

namespace {
// The exact form of a key, unambiguous whatever its values hold; `relleno`
// per condition (empty: none).
std::string ExactaLlave(const std::vector<Predicado>& condiciones, const Valor* valores,
                        const std::vector<bool>& relleno) {
  const auto parte = [&](std::size_t k) {
    std::string t = db::ValorComoTexto(valores[k]);
    // a fixed-width text column pads its value; its comparisons ignore the padding
    if (k < relleno.size() && relleno[k]) t = RecortaDer(t);
    return t;
  };
  if (condiciones.size() == 1) return parte(0);
  // each part after its length: no two keys share this form
  std::string r;
  for (std::size_t k = 0; k < condiciones.size(); ++k) {
    const std::string t = parte(k);
    r += std::to_string(t.size()) + ':';
    r += t;
  }
  return r;
}
}  // namespace

bool BusquedasDelLote::MismoModelo(const Consulta& c) const {
  const bool nombres = &c != objetoModelo_;
  const auto igual = [nombres](const Predicado& p, const Predicado& m) {
    return db::MismaClase(p.clase, m.clase) && p.igual == m.igual &&
           (!nombres || p.columna == m.columna);
  };
  return c.select == modelo_.select && c.from == modelo_.from && c.where == modelo_.where &&
         c.top == modelo_.top && std::ranges::equal(c.condiciones, modelo_.condiciones, igual) &&
         (!nombres || (c.tabla == modelo_.tabla && c.columnas == modelo_.columnas));
}

void BusquedasDelLote::Llena(const Consulta& modelo, const std::vector<Valor>& llaves,
                             const std::vector<std::string>& sueltas, ResultadoConsulta filas,
                             std::size_t columnasLocalizador) {
  Olvida();
  const std::size_t n = modelo.condiciones.size();
  if (n == 0 || filas.campos.size() < columnasLocalizador || llaves.size() != n * sueltas.size())
    return;
  const std::size_t propias = filas.campos.size() - columnasLocalizador;
  // per condition, its column among the rows' fields
  std::vector<std::size_t> columnasLlave(n, propias);
  std::vector<bool> relleno(n, false);
  for (std::size_t k = 0; k < n; ++k) {
    for (std::size_t i = 0; i < propias; ++i)
      if (IgualSinCaso(filas.campos[i].nombre, QuitaCorchetes(modelo.condiciones[k].columna)))
        columnasLlave[k] = i;
    // a key that is not read back: nothing to match rows with
    if (columnasLlave[k] == propias) return;
    const int tipo = filas.campos[columnasLlave[k]].tipo;
    relleno[k] = tipo == db::adChar || tipo == db::adWChar;
  }

  // A text key whose letters cannot be folded could equal another key of
  // the batch under the column's collation: every key asks for itself.
  if (std::ranges::find(sueltas, db::kSinPliegue) != sueltas.end()) return;

  entradas_.reserve(sueltas.size());
  posiciones_.reserve(sueltas.size());
  orden_.reserve(sueltas.size());
  for (std::size_t i = 0; i < sueltas.size(); ++i) {
    const auto [posicion, nueva] =
        posiciones_.try_emplace(sueltas[i], static_cast<std::uint32_t>(entradas_.size()));
    if (nueva) entradas_.emplace_back();
    Entrada& e = entradas_[posicion->second];
    const Valor* valores = &llaves[i * n];
    const auto* t = n == 1 ? std::get_if<std::string>(valores) : nullptr;
    if (nueva) {
      e.exacta = t ? *t : ExactaLlave(modelo.condiciones, valores, {});
      e.texto = t != nullptr;
    } else if (e.viva &&
               (t ? e.exacta != *t : e.exacta != ExactaLlave(modelo.condiciones, valores, {}))) {
      // "007" and "7" in one batch: each asks the database itself
      e.viva = false;
    }
    ++e.porPreguntar;
    orden_.push_back(posicion->second);
  }
  std::vector<Valor> llaveFila(n);
  for (std::vector<Valor>& fila : filas.filas) {
    if (fila.size() != filas.campos.size()) continue;
    // one key value is read where it is; several are gathered first
    const Valor* llave = &fila[columnasLlave[0]];
    if (n > 1) {
      for (std::size_t k = 0; k < n; ++k) llaveFila[k] = fila[columnasLlave[k]];
      llave = llaveFila.data();
    }
    Entrada* e = EntradaDe(db::SueltaLlave(modelo.condiciones, llave));
    if (!e) {
      // The database matched a row to no key as written (a collation of its
      // own): no key's absence can be trusted.
      Olvida();
      return;
    }
    if (!e->viva) continue;
    if (ExactaLlave(modelo.condiciones, llave, relleno) != e->exacta) {
      e->viva = false;
      continue;
    }
    if (!e->fila) e->fila = std::move(fila);
  }
  modelo_ = modelo;
  const auto igual = [](const InfoCampo& a, const InfoCampo& b) {
    return a.nombre == b.nombre && a.tipo == b.tipo && a.tamanoDefinido == b.tamanoDefinido;
  };
  if (!std::ranges::equal(campos_, filas.campos, igual)) {
    campos_ = std::move(filas.campos);
    ++versionCampos_;
  }
}

std::optional<std::vector<std::vector<Valor>>> BusquedasDelLote::TomaFilas(
    const Consulta& consulta) {
  ultima_ = entradas_.size();
  desconocida_ = true;
  if (entradas_.empty() || !MismoModelo(consulta)) return std::nullopt;
  valores_.clear();  // keeps its memory from one record to the next
  try {
    for (const Predicado& p : consulta.condiciones) valores_.push_back(db::ValorDeCondicion(p));
  } catch (...) {
    return std::nullopt;  // its own lookup reports what is wrong with it
  }
  const auto* t = valores_.size() == 1 ? std::get_if<std::string>(&valores_[0]) : nullptr;
  Entrada* e = nullptr;
  // the key the next record was expected to ask (or the one after it): a
  // live entry of that exact text is the one its loose form would find
  if (t && consulta.condiciones[0].clase == ClaseLiteral::Texto)
    for (std::size_t i = siguiente_; i < orden_.size() && i < siguiente_ + 2; ++i) {
      Entrada& candidata = entradas_[orden_[i]];
      if (candidata.viva && candidata.texto && candidata.exacta == *t) {
        e = &candidata;
        siguiente_ = i + 1;
        break;
      }
    }
  if (!e) e = EntradaDe(db::SueltaLlave(consulta.condiciones, valores_.data()));
  desconocida_ = !e;
  if (!e || !e->viva) return std::nullopt;
  e->viva = false;
  if (e->porPreguntar > 0) --e->porPreguntar;
  // a text key as it is, without a copy
  if (t ? e->exacta != *t : e->exacta != ExactaLlave(consulta.condiciones, valores_.data(), {}))
    return std::nullopt;
  std::vector<std::vector<Valor>> filas;
  if (e->fila) filas.push_back(std::move(*e->fila));
  e->fila.reset();
  ultima_ = static_cast<std::size_t>(e - entradas_.data());
  return filas;
}

void BusquedasDelLote::Renueva(std::vector<Valor> fila) {
  if (ultima_ >= entradas_.size() || fila.size() != campos_.size()) return;
  Entrada& e = entradas_[ultima_];
  e.fila = std::move(fila);
  e.viva = true;
  ultima_ = entradas_.size();
}

BusquedasDelLote::Entrada* BusquedasDelLote::EntradaDe(const std::string& suelta) {
  const auto it = posiciones_.find(suelta);
  return it == posiciones_.end() ? nullptr : &entradas_[it->second];
}

void BusquedasDelLote::Olvida() noexcept {
  orden_.clear();
  siguiente_ = 0;
  entradas_.clear();
  ultima_ = 0;
  posiciones_.clear();
}

void BusquedasDelLote::Busca(db::Conexion& cn, const db::Consulta& modelo,
                             const std::vector<db::Valor>& llaves,
                             const std::vector<std::string>* leidas) {
  Olvida();
  try {
    std::optional<db::LoteLeido> lote = cn.BuscaLote(modelo, llaves, leidas);
    if (!lote) return;
    Llena(modelo, lote->llaves, lote->sueltas, std::move(lote->filas), lote->columnasLocalizador);
    epoca_ = lote->epoca;
    objetoModelo_ = &modelo;
  } catch (...) {
    Olvida();
    db::RelanzaSiEsDeCorrida();
    if (aviso_ && !avisada_ && !modelo.condiciones.empty()) {
      avisada_ = true;
      // the database's reason without the statement it quotes (a thousand markers)
      const std::string razon = ErrorCapturado().Descripcion();
      aviso_("Las búsquedas de " + std::to_string(llaves.size() / modelo.condiciones.size()) +
             " registros de la tabla " + modelo.tabla + " no se pudieron leer en una consulta (" +
             razon.substr(0, razon.find(" - Sentencia: ")) +
             "); se buscan uno por uno (no se avisa de nuevo en esta tabla)");
    }
  }
}

std::unique_ptr<db::Recordset> BusquedasDelLote::Reabre(db::Conexion& cn,
                                                        const db::Consulta& consulta,
                                                        std::unique_ptr<db::Recordset> anterior) {
  // read in a transaction that has ended: nothing of it holds now
  if (!Vacia() && cn.Epoca() != epoca_) Olvida();
  if (auto filas = TomaFilas(consulta))
    return cn.ReabreConsultaLeida(consulta, std::move(anterior), campos_, std::move(*filas),
                                  versionCampos_);
  return cn.ReabreConsulta(consulta, 1, std::move(anterior));
}

void BusquedasDelLote::Cambiada(const db::Conexion& cn, const db::Recordset& rs,
                                const std::vector<int>& exigidos) {
  if (!SeRepite() || cn.Epoca() != epoca_) return;
  if (auto fila = rs.FilaComoLeida(exigidos)) Renueva(std::move(*fila));
}

}  // namespace varlo
