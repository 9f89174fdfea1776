#!/usr/bin/env bash
# Creates the database DB on a Firebird server (character set WIN1251) with
# the schema and the first specimen types, when the server has no such
# database yet; an existing one is never touched. The user and the password
# come from ISC_USER and ISC_PASSWORD, never from the command line.
#   ISC_USER=SYSDBA ISC_PASSWORD=... scripts/create-server-db.sh server/3050:/var/lib/firebird/3.0/data/NUV.GDB
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
db=${1:?usage: create-server-db.sh HOST:PATH}
if [ -z "${ISC_USER:-}" ] || [ -z "${ISC_PASSWORD:-}" ]; then
  echo "create-server-db.sh: set ISC_USER and ISC_PASSWORD for the server" >&2
  exit 2
fi

# A database that answers is there already; only one the server reports
# missing is created. Anything else (a wrong password, no server) is said.
grant_workstations() {
  [ -n "${NUV_USER:-}" ] || return 0
  local u=$NUV_USER p=${NUV_PASSWORD:?set NUV_PASSWORD with NUV_USER}
  [[ "$u" =~ ^[A-Za-z][A-Za-z0-9_]{0,30}$ ]] || { echo "create-server-db.sh: bad NUV_USER" >&2; exit 2; }
  p=${p//\'/\'\'}
  isql-fb -q -bail "$db" <<SQL >/dev/null
CREATE OR ALTER USER $u PASSWORD '$p';
COMMIT;
GRANT SELECT, INSERT, UPDATE, DELETE ON MES TO $u;
GRANT SELECT, INSERT, UPDATE, DELETE ON MES_DE TO $u;
GRANT SELECT, INSERT, UPDATE, DELETE ON MES_GROUP TO $u;
GRANT SELECT, INSERT, UPDATE, DELETE ON OBEKT TO $u;
GRANT SELECT ON MULTIPLIER TO $u;
GRANT SELECT, INSERT, DELETE ON MES_BIN TO $u;
GRANT SELECT, INSERT, DELETE ON MES_DE_BIN TO $u;
GRANT SELECT, INSERT, UPDATE ON RUN_CONTEXT TO $u;
GRANT SELECT, INSERT, DELETE ON MES_OVERVIEW TO $u;
GRANT SELECT, INSERT ON AUDIT_TRAIL TO $u;
GRANT EXECUTE ON PROCEDURE NEXT_MES TO $u;
GRANT EXECUTE ON PROCEDURE NEXT_OBEKT TO $u;
GRANT USAGE ON GENERATOR GEN_MES_ID TO $u;
GRANT USAGE ON GENERATOR GEN_MES_DE_ID TO $u;
GRANT USAGE ON GENERATOR GEN_MES_GROUP_ID TO $u;
GRANT USAGE ON GENERATOR GEN_OBEKT_ID TO $u;
GRANT USAGE ON GENERATOR GEN_AUDIT_ID TO $u;
GRANT USAGE ON EXCEPTION E_AUDIT_APPEND_ONLY TO $u;
GRANT USAGE ON EXCEPTION E_SEAL_FIXED TO $u;
COMMIT;
SQL
}

if probe=$(echo "quit;" | isql-fb -q -bail "$db" 2>&1); then
  grant_workstations
  exit 0
fi
if ! grep -q 'No such file or directory' <<<"$probe"; then
  echo "$probe" >&2
  exit 1
fi

# A failure half-way drops what was made, so no half-made database stays
# where the workstations look for one.
made=0
drop() {
  if [ "$made" -eq 1 ]; then echo "drop database;" | isql-fb -q "$db" >/dev/null 2>&1 || true; fi
}
trap drop EXIT
echo "create database '$db' page_size 8192 default character set WIN1251;" | isql-fb -q -bail
made=1
isql-fb -q -bail "$db" -i "$root/db/schema.sql"
isql-fb -q -bail "$db" -i "$root/db/trace.sql"
isql-fb -q -bail -ch UTF8 "$db" -i "$root/db/seed.sql"
made=0
trap - EXIT
grant_workstations
echo "Created $db"
