#!/usr/bin/python3
"""Judges the SQL Server statements with an independent T-SQL parser.

    analiza_tsql.py PROGRAMA

PROGRAMA writes every statement the SQL Server dialect renders (separated by
NUL bytes) to the file it is given. Each must parse as one T-SQL statement
(sqlglot, read="tsql") once its ODBC date escapes and "?" markers are put in
T-SQL's own terms, and every name in it must be in brackets: a name spelled
like a reserved word outside them would break the statement on a real server.
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


def juzga_lote(arbol):
    """The batched statements found in one statement, each with what is
    wrong with it (None when nothing): a multi-row INSERT, a lookup by IN,
    an UPDATE joined to a VALUES list."""
    if isinstance(arbol, exp.Insert):
        valores = arbol.find(exp.Values)
        if valores is not None and len(valores.expressions) > 1:
            anchos = {len(t.expressions) for t in valores.expressions}
            yield (None if len(anchos) == 1 else "filas de distinto ancho"), "INSERT de varias filas"
    if isinstance(arbol, exp.Select) and arbol.find(exp.In) is not None:
        # the keys of a lookup are literals, as in the single lookup
        marcado = any(i.name.startswith("@") for i in arbol.find(exp.In).find_all(exp.Identifier))
        yield ("llave enlazada en vez de literal" if marcado else None), "SELECT ... IN"
    if isinstance(arbol, exp.Update) and arbol.args.get("from") is not None:
        desde = arbol.args["from"].expressions
        alias = {t.alias for t in desde if isinstance(t, exp.Table) and t.alias}
        # The target must be the alias of a FROM table: the table's own name
        # would be a second, unjoined reference, and every row would change.
        if arbol.this.name not in alias:
            yield "el destino %s no es un alias de FROM" % arbol.this.name, "UPDATE ... FROM"
        for valores in (v for v in desde if isinstance(v, exp.Values)):
            columnas = valores.args["alias"].columns if valores.args.get("alias") else []
            if not columnas:
                yield "VALUES sin nombres de columna", "UPDATE ... FROM (VALUES ...)"
            elif any(len(t.expressions) != len(columnas) for t in valores.expressions):
                yield "filas de VALUES de otro ancho que sus nombres", "UPDATE ... FROM (VALUES ...)"
            else:
                yield None, "UPDATE ... FROM (VALUES ...)"


def main():
    programa = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        salida = os.path.join(tmp, "sentencias")
        subprocess.run([programa, salida], check=True)
        with open(salida, "rb") as f:
            textos = [t.decode("utf-8") for t in f.read().split(b"\0") if t]

    fallas, clases, nombres, lotes = [], set(), set(), set()
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
        for falla, lote in juzga_lote(arboles[0]):
            if falla:
                fallas.append("%s: %s" % (falla, texto))
            lotes.add(lote)
        for ident in arboles[0].find_all(exp.Identifier):
            if not ident.args.get("quoted") and ident.name.startswith("@"):
                continue  # a parameter @pN, which this parser keeps as a name
            if not ident.args.get("quoted"):
                fallas.append("nombre sin corchetes (%s): %s" % (ident.name, texto))
            nombres.add(ident.name)

    # what the examples and the reserved-word table must have rendered
    for clase in ("Select", "Insert", "Update", "Delete"):
        if clase not in clases:
            fallas.append("ninguna sentencia %s entre %d" % (clase, len(textos)))
    for lote in ("INSERT de varias filas", "SELECT ... IN", "UPDATE ... FROM (VALUES ...)"):
        if lote not in lotes:
            fallas.append("ninguna sentencia %s entre %d" % (lote, len(textos)))
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
