#pragma once
// The records of a source read, split and checked on a thread of their own
// while those before them are written: a few batches ahead, never more, so
// memory stays bounded whatever the file's size. The caller sees what reading
// the file itself would show, a reading error included, raised in its place.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "import/LectorRegistros.h"

namespace varlo {

class LecturaAnticipada {
 public:
  // Records per batch, and bytes that cut a batch of long lines short.
  static constexpr std::size_t kRegistrosPorTanda = 256;
  static constexpr std::size_t kBytesPorTanda = std::size_t{1} << 20;
  // Batches read ahead of the one being served.
  static constexpr std::size_t kTandasAdelantadas = 4;

  // Reads from where `lector` stands, which nothing else may use until
  // Detiene returned. With `divisor`, records without a defect are split too.
  explicit LecturaAnticipada(LectorRegistros& lector, const DivisorLineas* divisor = nullptr);
  ~LecturaAnticipada() { Detiene(); }

  // Whether the source has no record left (waits until the reader knows).
  bool AlFinal();
  // The next record; past the last one, an empty record.
  LineaLeida Lee();
  // Stops the reader and waits for it; what it read ahead is dropped.
  void Detiene() noexcept;

 private:
  struct Tanda {
    std::vector<LineaLeida> registros;
    std::exception_ptr error;  // raised after its records
    bool fin = false;          // the source ended after its records
  };
  void Lector(const std::stop_token& alto);
  // Until the batch served has a record left, or says how the source ended.
  void Espera();

  LectorRegistros& lector_;
  const DivisorLineas* divisor_;
  std::mutex mutex_;
  std::condition_variable_any cambio_;
  std::deque<Tanda> listas_;
  Tanda servida_;
  std::size_t siguiente_ = 0;
  // last: the reader starts once everything it uses exists
  std::jthread hilo_;
};

}  // namespace varlo
