#!/usr/bin/env bash
# Creates the database FILE (character set WIN1251) with the schema and the
# first specimen types when FILE does not exist; an existing file is never touched.
#   scripts/create-db.sh build/bin/NUV.GDB
# The embedded engine keeps its lock files where the program keeps them: in
# .fblock beside the database (mode 0700), unless FIREBIRD_LOCK already names
# the folder of the process that runs this (a test).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
db=${1:?usage: create-db.sh FILE}
[ -e "$db" ] && exit 0

dir=$(cd "$(dirname "$db")" && pwd)
if [ -z "${FIREBIRD_LOCK:-}" ]; then
  export FIREBIRD_LOCK="$dir/.fblock"
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
isql-fb -q -bail -user SYSDBA -ch UTF8 "$tmp" -i "$root/db/seed.sql"
mv "$tmp" "$db"
trap - EXIT
echo "Created $db"
