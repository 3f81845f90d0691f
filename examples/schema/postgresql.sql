-- Varlo tables the importer reads and writes, for PostgreSQL (reached
-- through psqlODBC). Kept in step with sqlite.sql and sqlserver.sql. Names
-- are unquoted, so PostgreSQL keeps them in lower case; the importer finds
-- fields by name without regard to case. Booleans come back as SQL_BIT
-- (ADO 11) when the ODBC string has BoolsAsChar=0.

CREATE TABLE Empleado (
  ID_Empleado char(15) NOT NULL PRIMARY KEY,
  Nombre varchar(50),
  Edad smallint,
  NumeroTarjeta integer,
  Activo boolean,
  FechaAlta timestamp,
  Sueldo numeric(12,2),
  ID_Nivel0 varchar(15),
  ID_Nivel1 varchar(15),
  ID_Nivel2 varchar(15),
  ID_Nivel3 varchar(15),
  ID_Calendario varchar(15),
  FIAplicacion timestamp,
  Foto bytea
);

CREATE TABLE Jerarquias (
  Key varchar(20) NOT NULL PRIMARY KEY,
  Parent varchar(20)
);

CREATE TABLE Kardex (
  Id_Empleado char(15) NOT NULL,
  Fecha timestamp NOT NULL,
  ID_Tipo varchar(15),
  Dato0_FAL varchar(15),
  Dato1_FAL varchar(15),
  Dato2_FAL varchar(15),
  Dato3_FAL varchar(15),
  Dato4_FAL varchar(15),
  Dato5_FAL varchar(15),
  Referencia varchar(50),
  PRIMARY KEY (Id_Empleado, Fecha)
);

CREATE TABLE Fotos_Empleados (
  ID_Empleado char(15) NOT NULL PRIMARY KEY,
  Foto bytea
);

CREATE VIEW vEmpleados AS
  SELECT ID_Empleado, Nombre FROM Empleado;
