#pragma once
// Error numbers and source of the database layer. Refused assignments and
// misuse of a row set are the program's own errors (positive); what the
// database reports keeps the negative numbers the OLE DB provider gave.
namespace varlo::db {

// Source of the errors the layer finds by itself.
inline constexpr const char* kFuenteBD = "VarloDI.BD";

namespace errores_bd {
// Text longer than a CHAR/VARCHAR column: SQL Server's own message number.
inline constexpr long DatosTruncados = 8152;
// The row set is closed.
inline constexpr long ObjetoCerrado = 3704;
// An update the row set cannot place (no condition identifies the row).
inline constexpr long OperacionNoPermitida = 3219;

// Negative: as the provider reported them.
inline constexpr long FalloProveedor = -2147467259;       // E_FAIL
inline constexpr long ErrorEnComando = -2147217900;       // DB_E_ERRORSINCOMMAND
inline constexpr long ViolacionIntegridad = -2147217873;  // DB_E_INTEGRITYVIOLATION
inline constexpr long FilaNoEncontrada = -2147217864;     // row cannot be located for updating
}  // namespace errores_bd

}  // namespace varlo::db
