#!/bin/bash
# The manual page renders without a groff warning at narrow, usual and wide
# terminals, and documents every option that `varlodi --help` lists.
#   tests/package/manual.sh MANUAL VARLODI
set -euo pipefail
manual=$1
varlodi=$2
fail() { printf 'manual.sh: %s\n' "$*" >&2; exit 1; }

for width in 60 80 120; do
    warnings=$(MANWIDTH=$width man --warnings=w -l "$manual" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "$width columns: $warnings"
done

# The OPCIONES section, up to the next heading.
text=$(MANWIDTH=200 man -l "$manual" 2>/dev/null | col -b | sed -n '/^OPCIONES/,/^[[:upper:]]/p' | sed '1d;$d')
[[ -n $text ]] || fail "no OPCIONES section in $manual"
mapfile -t options < <("$varlodi" --help | grep -oE -- '(^|[ ,|])--?[a-zA-Z][a-z-]*' | sed 's/^[ ,|]//' | sort -u)
((${#options[@]} >= 3)) || fail "'$varlodi --help' lists no options"
for option in "${options[@]}"; do
    grep -qE -- "(^|[ ,])$option([ ,]|$)" <<<"$text" || fail "option $option of --help is not in the manual"
done
echo "manual.sh: renders at 60, 80 and 120 columns; documents ${options[*]}"
