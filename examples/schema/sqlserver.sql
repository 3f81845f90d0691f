-- Varlo tables the importer reads and writes, for SQL Server (T-SQL). Kept
-- in step with sqlite.sql and postgresql.sql.

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
GO

CREATE TABLE Jerarquias (
  [Key] VARCHAR(20) NOT NULL PRIMARY KEY,
  [Parent] VARCHAR(20)
);
GO

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
  CONSTRAINT PK_Kardex PRIMARY KEY (Id_Empleado, Fecha)
);
GO

CREATE TABLE Fotos_Empleados (
  ID_Empleado CHAR(15) NOT NULL PRIMARY KEY,
  Foto IMAGE
);
GO

CREATE VIEW vEmpleados AS
  SELECT ID_Empleado, Nombre FROM Empleado;
GO
