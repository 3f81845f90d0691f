#pragma once
// Profile (INI) file access with the Windows profile rules: section and key
// names match without regard to case, values are trimmed, one pair of
// surrounding quotes is removed, ";" starts a comment, the first of
// duplicate sections or keys wins. A write edits only the line it must and
// replaces the file atomically. The file is Windows-1252, or UTF-8 when it
// starts with a UTF-8 byte-order mark (a write keeps the mark and the encoding).
#include <string>

namespace varlo {

class Kelto_API_INIFiles {
 public:
  // The value of the key, trimmed of spaces; `IniDefault` (trimmed) when the
  // file, the section or the key is missing. A present but empty value is "".
  std::string API_GetPrivateProfileString(const std::string& IniFileName,
                                          const std::string& IniSeccion,
                                          const std::string& IniClave,
                                          const std::string& IniDefault) const;

  // Sets the key, creating the file, the section and the key as needed.
  // False when the file cannot be written (read-only, no folder).
  bool API_WritePrivateProfileString(const std::string& IniFileName, const std::string& IniSeccion,
                                     const std::string& IniClave,
                                     const std::string& IniValor) const;
};

}  // namespace varlo
