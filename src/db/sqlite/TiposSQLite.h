#pragma once
// ADO type code and declared size of a SQLite column, from the type name its
// table declares ("CHAR(15)", "DATETIME", "IMAGE"...), as SQL Server's
// provider reports them: characters for text, bytes otherwise (int 4,
// smallint 2, tinyint 1, bigint 8, bit 2, real and float 8, money 8,
// decimal 19, datetime 16, date and time 6); text and binary columns
// without a size report 2147483647.
#include <string_view>

#include "db/Recordset.h"

namespace varlo::db {

// False when nothing is declared (an expression of the select list).
bool TipoDeclarado(std::string_view declarado, InfoCampo& campo);

}  // namespace varlo::db
