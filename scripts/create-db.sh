#!/usr/bin/env bash
# Creates the database FILE (character set WIN1251) with the schema and the
# first specimen types when FILE does not exist; an existing file is never touched.
#   scripts/create-db.sh build/bin/NUV.GDB
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
db=${1:?usage: create-db.sh FILE}
[ -e "$db" ] && exit 0

# Built under another name and renamed at the end, so a failure leaves no
# half-made database where the program looks for one.
tmp="$(dirname "$db")/.$(basename "$db").creating.$$"
trap 'rm -f "$tmp"' EXIT
rm -f "$tmp"
echo "create database '$tmp' user 'SYSDBA' page_size 8192 default character set WIN1251;" |
  isql-fb -q -bail >/dev/null
isql-fb -q -bail -user SYSDBA "$tmp" -i "$root/db/schema.sql"
isql-fb -q -bail -user SYSDBA -ch UTF8 "$tmp" -i "$root/db/seed.sql"
mv "$tmp" "$db"
trap - EXIT
echo "Created $db"
