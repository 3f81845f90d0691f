#pragma once
// Separated values with quoted fields, as spreadsheets write them: a field
// that begins with the quote runs to the quote that closes it, a doubled
// quote inside is one quote, and separators and line breaks inside are data.
// A quote anywhere else is an ordinary character: a record without quotes
// cuts as the plain separated layout does.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varlo {

class DivisorComillas {
 public:
  // `comillas` is one character; error 5 when it is part of the separator
  // (matched without regard to case, as the separator is).
  DivisorComillas(std::string separador, std::string comillas);

  // Where a record stands at the end of the lines read so far.
  struct Recorrido {
    bool abierta = false;         // inside a quoted value: the next line belongs to the record
    std::size_t columna = 1;      // the column being read, from 1
    std::size_t columnaMala = 0;  // first column with text after its closing quote (0: none)
    // Why such a record is refused.
    std::string TextoTrasCierre() const {
      return "Texto después de las comillas de cierre en la columna " + std::to_string(columnaMala);
    }
  };
  // Walks one line of a record (without its line end), from where `r` stands.
  void Recorre(std::string_view linea, Recorrido& r) const { Camina(linea, r, nullptr); }

  // Values 1..N of a whole record into the N empty strings of `valores`;
  // pieces beyond are checked and dropped. Error 13 for a quote left open or
  // text after a closing quote.
  void Divide(std::string_view registro, std::vector<std::string>& valores) const;

  const std::string& Comillas() const { return comillas_; }
  // Whether quote and separator are ASCII: then the bytes of an encoding that
  // keeps ASCII walk like its text.
  bool EsAscii() const;

 private:
  // Recorre, also setting the values of columns 1..valores->size() when `valores` is not null.
  void Camina(std::string_view linea, Recorrido& r, std::vector<std::string>* valores) const;

  std::string separador_;
  std::string comillas_;
};

}  // namespace varlo
