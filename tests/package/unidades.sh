#!/bin/bash
# The cron example's lines have the form /etc/cron.d reads, and the systemd
# examples pass `systemd-analyze verify` (exit 77, a skip, where systemd is not
# installed). The units are checked with ExecStart on the built program and
# man:varlodi(1) on the built manual.
#   tests/package/unidades.sh SOURCE_DIR VARLODI MANUAL
set -euo pipefail
src=$1
varlodi=$(realpath "$2")
manual=$(realpath "$3")
fail() { printf 'unidades.sh: %s\n' "$*" >&2; exit 1; }

# cron.d: NAME=VALUE lines, or five time fields, a user and the command.
entries=0
while read -r line; do
    [[ -z $line || $line == \#* || $line =~ ^[A-Z_]+= ]] && continue
    read -r -a field <<<"$line"
    ((${#field[@]} >= 7)) || fail "cron line without time, user and command: $line"
    for f in "${field[@]:0:5}"; do
        [[ $f =~ ^[0-9*/,-]+$ ]] || fail "cron time field '$f' in: $line"
    done
    id "${field[5]}" >/dev/null 2>&1 || fail "cron line's user '${field[5]}' does not exist: $line"
    [[ ${field[*]:6:2} == "flock -n" ]] || fail "cron command does not start with flock -n: $line"
    entries=$((entries + 1))
done <"$src/examples/cron/varlodi"
((entries > 0)) || fail "no cron entry in $src/examples/cron/varlodi"

if ! command -v systemd-analyze >/dev/null; then
    echo "unidades.sh: systemd-analyze is not installed: units not verified (cron example checked)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src"/examples/systemd/* "$work/"
sed -i "s|/usr/bin/varlodi|$varlodi|" "$work/varlodi@.service"
mkdir "$work/man1"
ln -s "$manual" "$work/man1/varlodi.1.gz"
instance=$(systemd-escape --path /etc/varlodi/nomina.ini)
cd "$work"
# verify exits 0 on an unknown key, with a message: any output is a failure.
out=$(MANPATH=$work systemd-analyze verify "./varlodi@$instance.service" "./varlodi@$instance.timer" \
    "./varlodi-aviso@varlodi@$instance.service.service" 2>&1) || fail "systemd-analyze verify: $out"
[[ -z $out ]] || fail "systemd-analyze verify: $out"
echo "unidades.sh: cron example and systemd units verified"
