#!/usr/bin/python3
"""Judges the SQL Server statements with an independent T-SQL parser.

    analiza_tsql.py PROGRAMA RESERVADAS

PROGRAMA writes every statement the SQL Server dialect renders (separated by
NUL bytes) to the file it is given. Each must parse as one T-SQL statement
(sqlglot, read="tsql") once its ODBC date escapes and "?" markers are put in
T-SQL's own terms, and every name in it must be in brackets: a name spelled
like a word of RESERVADAS outside them would break the statement on a real
server.
"""
import os
import subprocess
import sys
import tempfile

try:
    import sqlglot
    from sqlglot import exp
except ImportError:
    sys.exit("falta python3-sqlglot (scripts/setup-deps --test)")


def en_tsql(texto):
    """{d '...'} and {ts '...'} as CASTs, each "?" as a parameter @pN;
    literals and bracketed names are copied as they are."""
    r, i, n = [], 0, 0
    while i < len(texto):
        c = texto[i]
        if c == "'":
            fin = i + 1
            while True:
                fin = texto.index("'", fin)
                if texto.startswith("''", fin):
                    fin += 2
                    continue
                break
            r.append(texto[i:fin + 1])
            i = fin + 1
        elif c == "[":
            fin = texto.index("]", i)
            r.append(texto[i:fin + 1])
            i = fin + 1
        elif c == "{":
            fin = texto.index("}", i)
            clase, literal = texto[i + 1:fin].split(" ", 1)
            tipo = {"d": "DATE", "ts": "DATETIME"}[clase]
            r.append("CAST(%s AS %s)" % (literal, tipo))
            i = fin + 1
        elif c == "?":
            n += 1
            r.append("@p%d" % n)
            i += 1
        else:
            r.append(c)
            i += 1
    return "".join(r)


def main():
    programa, archivo_reservadas = sys.argv[1:3]
    with open(archivo_reservadas, encoding="utf-8") as f:
        reservadas = {l.strip().upper() for l in f if l.strip() and not l.startswith("#")}
    with tempfile.TemporaryDirectory() as tmp:
        salida = os.path.join(tmp, "sentencias")
        subprocess.run([programa, salida], check=True)
        with open(salida, "rb") as f:
            textos = [t.decode("utf-8") for t in f.read().split(b"\0") if t]

    fallas, clases, nombres = [], set(), set()
    for texto in textos:
        try:
            arboles = sqlglot.parse(en_tsql(texto), read="tsql")
        except Exception as e:  # sqlglot's ParseError and TokenError alike
            fallas.append("no se analiza (%s): %s" % (str(e).splitlines()[0], texto))
            continue
        if len(arboles) != 1 or arboles[0] is None:
            fallas.append("no es una sentencia: " + texto)
            continue
        clases.add(type(arboles[0]).__name__)
        for ident in arboles[0].find_all(exp.Identifier):
            if not ident.args.get("quoted") and ident.name.startswith("@"):
                continue  # a parameter @pN, which this parser keeps as a name
            if not ident.args.get("quoted"):
                motivo = "palabra reservada" if ident.name.upper() in reservadas else "nombre"
                fallas.append("%s sin corchetes (%s): %s" % (motivo, ident.name, texto))
            nombres.add(ident.name)

    # what the examples and the reserved-word table must have rendered
    for clase in ("Select", "Insert", "Update", "Delete"):
        if clase not in clases:
            fallas.append("ninguna sentencia %s entre %d" % (clase, len(textos)))
    for nombre in ("Reservadas", "Key", "Order", "User", "Group", "Percent", "Table", "Kardex",
                   "Jerarquias", "Parent", "Empleado", "rrhh"):
        if nombre not in nombres:
            fallas.append("ninguna sentencia nombra %s" % nombre)

    for f in fallas:
        print(f)
    print("%d sentencias, %d fallas" % (len(textos), len(fallas)))
    return 1 if fallas else 0


if __name__ == "__main__":
    sys.exit(main())
