#!/bin/sh
# rightsmith-users init-store against a throw-away PostgreSQL server: it makes
# the tables and prints GRANT statements that psql runs for the default roles;
# a second run is fine; a database holding a foreign table of one of the
# store's names is refused with exit 1 and gets nothing. Exit 77 when
# PostgreSQL is not installed.
#   initstore.sh TOOL
set -eu

tool=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/withpgserver.sh"

fail() { echo "FAIL: $*"; exit 1; }

sql() { "$psql" "$1" -X -A -t -q -v ON_ERROR_STOP=1 -c "$2"; }

out=$("$tool" init-store "$address") || fail "init-store: $out"
echo "$out"
echo "$out" | grep -q '^-- the schema is ready in "rightsmith" on ' || fail "no ready line"
echo "$out" | grep -q '^GRANT INSERT, UPDATE ON rightsmith_user_template TO "rightsmith_administrator";$' \
    || fail "no administrator grant"
echo "$out" | grep -q '^GRANT SELECT, INSERT, DELETE ON rightsmith_audit_trail TO "rightsmith_workstation";$' \
    || fail "no workstation grant"
sql "$address" "CREATE ROLE rightsmith_workstation; CREATE ROLE rightsmith_administrator"
echo "$out" | "$psql" "$address" -X -q -v ON_ERROR_STOP=1 || fail "psql refused the statements"
[ "$(sql "$address" "SELECT has_table_privilege('rightsmith_administrator', 'rightsmith_user_template', 'UPDATE'), has_table_privilege('rightsmith_workstation', 'rightsmith_user_template', 'UPDATE')")" = "t|f" ] \
    || fail "the grants did not take"

again=$("$tool" init-store "$address" --workstation-role 'ws "a"') || fail "second init-store: $again"
echo "$again" | grep -q 'TO "ws ""a""";$' || fail "the role name is not quoted: $again"

sql "$address" "CREATE DATABASE foreign_tables"
other="$address dbname=foreign_tables"
sql "$other" "CREATE TABLE rightsmith_audit_trail (x int)"
code=0
refused=$("$tool" init-store "$other" 2>&1) || code=$?
echo "$refused"
[ "$code" -eq 1 ] || fail "init-store on foreign tables exited with $code"
echo "$refused" | grep -q 'holds tables this program did not make: rightsmith_audit_trail' \
    || fail "no message about the foreign table"
[ "$(sql "$other" "SELECT count(*) FROM pg_class WHERE relname LIKE 'rightsmith%'")" = 1 ] \
    || fail "init-store made something beside the foreign table"
echo "init-store: ok"
