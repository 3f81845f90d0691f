-- Varlo tables the importer reads and writes, for SQLite (the embedded
-- default). Kept in step with postgresql.sql and sqlserver.sql: the same
-- tables, columns, sizes and keys. Column types are declared by their SQL
-- Server names, which the importer maps to ADO types.

CREATE TABLE Empleado (
  ID_Empleado CHAR(15) NOT NULL PRIMARY KEY,
  Nombre VARCHAR(50),
  Edad SMALLINT,
  NumeroTarjeta INT,
  Activo BIT,
  FechaAlta DATETIME,
  Sueldo DECIMAL(12,2),
  ID_Nivel0 VARCHAR(15),
  ID_Nivel1 VARCHAR(15),
  ID_Nivel2 VARCHAR(15),
  ID_Nivel3 VARCHAR(15),
  ID_Calendario VARCHAR(15),
  FIAplicacion DATETIME,
  Foto IMAGE
);

CREATE TABLE Jerarquias (
  [Key] VARCHAR(20) NOT NULL PRIMARY KEY,
  [Parent] VARCHAR(20)
);

CREATE TABLE Kardex (
  Id_Empleado CHAR(15) NOT NULL,
  Fecha DATETIME NOT NULL,
  ID_Tipo VARCHAR(15),
  Dato0_FAL VARCHAR(15),
  Dato1_FAL VARCHAR(15),
  Dato2_FAL VARCHAR(15),
  Dato3_FAL VARCHAR(15),
  Dato4_FAL VARCHAR(15),
  Dato5_FAL VARCHAR(15),
  Referencia VARCHAR(50),
  PRIMARY KEY (Id_Empleado, Fecha)
);

CREATE TABLE Fotos_Empleados (
  ID_Empleado CHAR(15) NOT NULL PRIMARY KEY,
  Foto IMAGE
);

CREATE VIEW vEmpleados AS
  SELECT ID_Empleado, Nombre FROM Empleado;
