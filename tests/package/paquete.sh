#!/bin/bash
# Builds the Debian packages (scripts/package, in the plain build folder),
# checks their control fields and file lists, unpacks varlodi into a scratch
# root and runs the unpacked program on the demo's SQLite import with that
# root read-only and a private XDG_STATE_HOME: the log must land in
# $XDG_STATE_HOME/varlodi/Log, never beside the program.
#   tests/package/paquete.sh      VARLODI_BUILD_DIR names another build folder
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
build=${VARLODI_BUILD_DIR:-build}
fail() { printf 'paquete.sh: %s\n' "$*" >&2; exit 1; }

work=$(mktemp -d /tmp/varlodi-paquete.XXXXXX)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
scripts/package >"$work/package.log" 2>&1 || { cat "$work/package.log" >&2; fail "scripts/package failed"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
deb=$build/varlodi_${version}_$arch.deb
[[ -f $deb ]] || fail "scripts/package made no $deb"

# Control fields: Depends names the package of every library the program
# links (so a server gets SQLite and unixODBC), and nothing of Qt.
field() { dpkg-deb -f "$1" "$2"; }
# The package names of a relation field, one a line.
names() { tr ',|' '\n' <<<"$1" | sed 's/^ *//; s/[ (].*//' | sed '/^$/d'; }
[[ $(field "$deb" Package) == varlodi ]] || fail "Package of $deb: $(field "$deb" Package)"
depends=$(field "$deb" Depends)
grep -qx 'libsqlite3-0' <(names "$depends") || fail "Depends lacks libsqlite3-0: $depends"
grep -qx 'libodbc[0-9]*' <(names "$depends") || fail "Depends lacks unixODBC: $depends"
grep -qx 'libpq5' <(names "$depends") || fail "Depends lacks libpq5: $depends"
! grep -q qt <<<"$depends" || fail "the console package depends on Qt: $depends"
# The package that holds a library file (dpkg lists some under /lib, some under /usr/lib).
owner() {
    local alt=/usr$1
    [[ $1 == /usr/* ]] && alt=${1#/usr}
    { dpkg -S "$1" || dpkg -S "$alt"; } 2>/dev/null | head -n1 | cut -d: -f1
}
linked=$(ldd "$build/bin/varlodi")
for lib in $(objdump -p "$build/bin/varlodi" | awk '$1 == "NEEDED" {print $2}'); do
    path=$(awk -v lib="$lib" '$1 == lib && $2 == "=>" {print $3}' <<<"$linked")
    owner=$(owner "$path")
    [[ -n $owner ]] || fail "no installed package holds $lib ($path)"
    grep -qxF "$owner" <(names "$depends") || fail "Depends lacks $owner (for $lib): $depends"
done
recommends=$(field "$deb" Recommends)
for pkg in odbc-postgresql tdsodbc; do
    grep -qxF "$pkg" <(names "$recommends") || fail "Recommends lacks $pkg: $recommends"
done

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
expected=(./usr/bin/varlodi ./usr/share/man/man1/varlodi.1.gz ./var/lib/varlodi/
    ./usr/share/doc/varlodi/README.md
    ./usr/share/doc/varlodi/examples/schema/sqlite.sql ./usr/share/doc/varlodi/examples/demo/demo.ini
    ./usr/share/doc/varlodi/examples/systemd/varlodi@.service
    ./usr/share/doc/varlodi/examples/systemd/varlodi@.timer
    ./usr/share/doc/varlodi/examples/cron/varlodi)
[[ -f docs/definiciones.md ]] && expected+=(./usr/share/doc/varlodi/definiciones.md)
for f in "${expected[@]}"; do
    grep -qxF "$f" <<<"$files" || fail "$deb does not hold $f"
done
! grep -q varlodi-gui <<<"$files" || fail "the console package holds the window program"

if [[ -x $build/bin/varlodi-gui ]]; then
    gui=$build/varlodi-gui_${version}_$arch.deb
    [[ -f $gui ]] || fail "Qt is built but scripts/package made no $gui"
    gui_depends=$(field "$gui" Depends)
    grep -qF "varlodi (= $version)" <<<"$gui_depends" || fail "$gui does not depend on varlodi: $gui_depends"
    grep -qx 'libqt6widgets6' <(names "$gui_depends") || fail "$gui does not depend on Qt: $gui_depends"
    grep -qxF ./usr/bin/varlodi-gui <<<"$(dpkg-deb -c "$gui" | awk '{print $NF}')" ||
        fail "$gui does not hold usr/bin/varlodi-gui"
fi

# The unpacked program runs as someone who cannot write to its folder (root
# ignores permissions, so root runs it as nobody), on the demo shipped in the
# package.
chmod 755 "$work"
dpkg -x "$deb" "$work/raiz"
chmod -R a-w "$work/raiz"
ejemplos=$work/raiz/usr/share/doc/varlodi/examples
mkdir -p "$work/datos" "$work/estado"
base=$work/datos/varlo.db
sqlite3 "$base" <"$ejemplos/schema/sqlite.sql"
cp -r "$ejemplos"/demo/{Empleado.txt,Jerarquias.txt,Planfal.txt,Empleado_Foto} "$work/datos/"
sed -e "s|@BASE@|$base|g" -e "s|@DATOS@|$work/datos|g" "$ejemplos/demo/demo.ini" >"$work/datos/demo.ini"
como=()
if ((EUID == 0)); then
    chown -R nobody: "$work/datos" "$work/estado"
    como=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
status=0
"${como[@]}" env -i PATH=/usr/bin:/bin HOME="$work/estado" XDG_STATE_HOME="$work/estado" LC_TIME=C \
    "$work/raiz/usr/bin/varlodi" "$work/datos/demo.ini" </dev/null >"$work/salida.txt" 2>&1 || status=$?
# This part needs the program-folder order (an installed program that cannot
# write beside itself uses $XDG_STATE_HOME/varlodi).
logs=("$work"/estado/varlodi/Log/VarloDI_[A-Z][a-z][a-z][0-9][0-9][0-9][0-9].log)
if [[ ! -f ${logs[0]} ]]; then
    cat "$work/salida.txt" >&2
    fail "no monthly log in \$XDG_STATE_HOME/varlodi/Log (status $status): $(cd "$work/estado" && find . | tr '\n' ' ')"
fi
# The demo holds rejected records on purpose: 1 is a complete run.
((status == 1)) || { cat "$work/salida.txt" >&2; fail "the unpacked varlodi ended with status $status, not 1"; }
[[ $(sqlite3 "$base" 'SELECT count(*) FROM Empleado') -gt 0 ]] || fail "the demo run imported no employee"
echo "paquete.sh: $(basename "$deb") checked; the unpacked program logged to $(basename "${logs[0]}") under XDG_STATE_HOME"
