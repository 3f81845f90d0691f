#!/usr/bin/env python3
"""Every key the program reads from a definitions file is described in
docs/definiciones.md, as a heading ("### Key") or written as code (`Key`).

The keys are found in the sources: the literal key of every read through
LectorDefiniciones (Texto, Numero, ...), of every direct profile read, of the
run options, and the root of every numbered key ("CampoColumna" + n is
documented as CampoColumnaN). Usage: claves_documentadas.py SOURCE_DIR
"""
import pathlib
import re
import sys

LECTURAS = re.compile(
    r"\b(?:Texto|Numero|Numero32|EnteroTruncado|NumeroEstricto|Interruptor|InterruptorTexto)"
    r"\(\s*[^,;]+?,\s*\"([^\"]+)\"", re.S)
NUMERADAS = re.compile(r"ClaveNumerada\(\s*\"([^\"]+)\"")
DIRECTAS = re.compile(r"API_GetPrivateProfileString\([^,;]+,\s*\"[^\"]+\",\s*\"([^\"]+)\"", re.S)
# frmMain reads the run options through a small lambda, lee("Key", default).
OPCIONES = re.compile(r"\blee\(\s*\"([^\"]+)\"")


def claves(fuentes):
    encontradas = {}
    for ruta in sorted(fuentes.rglob("*.cpp")):
        texto = ruta.read_text(encoding="utf-8")
        for patron, sufijo in ((LECTURAS, ""), (NUMERADAS, "N"), (DIRECTAS, ""), (OPCIONES, "")):
            for m in patron.finditer(texto):
                encontradas.setdefault(m.group(1) + sufijo, ruta.relative_to(fuentes.parent))
    return encontradas


def documentada(clave, doc):
    return (re.search(r"^#+ .*\b" + re.escape(clave) + r"\b", doc, re.M) is not None
            or "`" + clave + "`" in doc or "`" + clave + "=" in doc)


def main():
    raiz = pathlib.Path(sys.argv[1])
    doc = (raiz / "docs" / "definiciones.md").read_text(encoding="utf-8")
    encontradas = claves(raiz / "src")
    # The scanner itself must still see the keys of every kind of read, or it
    # would pass by finding nothing.
    for muestra in ("Origen", "CampoColumnaN", "TablaN", "Conexion", "ReporteLog", "Otro"):
        if muestra not in encontradas:
            print(f"the scan of src/ no longer finds the key {muestra!r}: update this test")
            return 1
    faltan = [f"{c} (read in {r})" for c, r in sorted(encontradas.items()) if not documentada(c, doc)]
    for f in faltan:
        print("not described in docs/definiciones.md:", f)
    print(f"{len(encontradas)} keys read, {len(faltan)} not described")
    return 1 if faltan else 0


if __name__ == "__main__":
    sys.exit(main())
