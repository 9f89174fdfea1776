#!/usr/bin/env bash
# Creates the database FILE (character set WIN1251) with the schema and the
# first specimen types when FILE does not exist; an existing file is never touched.
#   scripts/create-db.sh build/bin/NUV.GDB
# FILE may also name a database on a Firebird server, with the user and the
# password in ISC_USER and ISC_PASSWORD (the path is the server's own):
#   ISC_USER=SYSDBA ISC_PASSWORD=... scripts/create-db.sh server:/var/lib/firebird/3.0/data/NUV.GDB
#   (also server/3050:/path and inet://server:3050//path)
# The embedded engine keeps its lock files where the program keeps them: in
# the user's runtime folder (memory, not the database's disk, which may
# fill), unless FIREBIRD_LOCK already names the folder of the process that
# runs this (a test). The new file is on the disk before it takes its name.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
db=${1:?usage: create-db.sh FILE}

# "host:path", "host/port:path", "inet://host:port/path": not a file here.
if [[ "$db" != /* && "$db" == *:* ]]; then
  exec bash "$root/scripts/create-server-db.sh" "$db"
fi
[ -e "$db" ] && exit 0

dir=$(cd "$(dirname "$db")" && pwd)
if [ -z "${FIREBIRD_LOCK:-}" ]; then
  base=${XDG_RUNTIME_DIR:-}
  { [ -n "$base" ] && [ -d "$base" ] && [ -w "$base" ]; } || base=/dev/shm
  { [ -d "$base" ] && [ -w "$base" ]; } || base=${TMPDIR:-/tmp}
  export FIREBIRD_LOCK="$base/prjNUV-$(id -u).fblock"
fi
[ -d "$FIREBIRD_LOCK" ] || mkdir -m 700 "$FIREBIRD_LOCK"

# Built under another name and renamed at the end, so a failure leaves no
# half-made database where the program looks for one.
tmp="$dir/.$(basename "$db").creating.$$"
trap 'rm -f "$tmp"' EXIT
rm -f "$tmp"
echo "create database '$tmp' user 'SYSDBA' page_size 8192 default character set WIN1251;" |
  isql-fb -q -bail >/dev/null
isql-fb -q -bail -user SYSDBA "$tmp" -i "$root/db/schema.sql"
isql-fb -q -bail -user SYSDBA "$tmp" -i "$root/db/trace.sql"
isql-fb -q -bail -user SYSDBA -ch UTF8 "$tmp" -i "$root/db/seed.sql"
sync "$tmp"
mv "$tmp" "$db"
trap - EXIT
sync "$dir"
echo "Created $db"
