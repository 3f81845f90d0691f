#pragma once
// Separated values whose fields may be quoted, the way spreadsheets write
// them: a field that begins with the quote runs to the quote that closes it,
// a doubled quote inside is one quote, and separators and line breaks inside
// are data, so one record may span several lines of the file. A quote
// anywhere else is an ordinary character, and a record without quotes cuts
// exactly like the plain separated layout.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varlo {

class DivisorComillas {
 public:
  // `comillas` is one character. Raises error 5 when it is part of the
  // separator (the separator matches without regard to case, so would the
  // quote).
  DivisorComillas(std::string separador, std::string comillas);

  // Where a record stands at the end of the lines read so far.
  struct Recorrido {
    bool abierta = false;         // inside a quoted value: the next line belongs to the record
    std::size_t columna = 1;      // the column being read, from 1
    std::size_t columnaMala = 0;  // first column with text after its closing quote (0: none)
  };
  // Walks one line of a record (without its line end), from where `r` stands.
  void Recorre(std::string_view linea, Recorrido& r) const;

  // Values 1..`columnas` of a whole record (inner line breaks included) as
  // indices 0..columnas-1; pieces beyond are read and dropped. Raises error
  // 13 for a quoted value that does not close or that has text after its
  // closing quote.
  void Divide(std::string_view registro, std::size_t columnas,
              std::vector<std::string>& valores) const;

  const std::string& Comillas() const { return comillas_; }
  // Whether the quote and the separator are ASCII: then the bytes of any
  // encoding that keeps ASCII as it is walk like its text.
  bool EsAscii() const;

 private:
  // Position of the next separator from `desde`; npos when none (always for
  // an empty separator).
  std::size_t Separador(std::string_view texto, std::size_t desde) const;
  bool EmpiezaComilla(std::string_view texto, std::size_t en) const {
    return texto.substr(en).starts_with(comillas_);
  }

  std::string separador_;
  std::string comillas_;
  bool separadorSimple_ = false;  // one byte with no other case: a plain search finds it
};

}  // namespace varlo
