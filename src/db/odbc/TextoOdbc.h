#pragma once
// Text crosses the ODBC boundary as UTF-16 (SQLWCHAR is two bytes under
// unixODBC); inside the program it is UTF-8.
#include <string>
#include <string_view>

namespace varlo::db::odbc {

// Malformed UTF-8 becomes U+FFFD rather than being dropped.
std::u16string Utf8AUtf16(std::string_view utf8);
// An unpaired surrogate becomes U+FFFD.
std::string Utf16AUtf8(std::u16string_view utf16);

}  // namespace varlo::db::odbc
