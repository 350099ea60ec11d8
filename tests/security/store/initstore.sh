#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-users init-store against a throw-away PostgreSQL server: it makes
# the tables and prints GRANT statements that psql runs for the default roles;
# a second run is fine; a database holding a foreign table of one of the
# store's names is refused with exit 1 and gets nothing; tables of version 1
# are refused without --upgrade and upgraded with it, keeping their rows, and
# audit then shows the role that wrote each record, and no role keeps a direct
# write on them; the functions hold against a workstation that may create
# objects in their schema or calls them with forged arguments. Exit 77 when
# PostgreSQL is not installed.
#   initstore.sh TOOL
set -eu

tool=$1
here=$(cd "$(dirname "$0")" && pwd)
support="$here/../../support"
. "$support/withpgserver.sh"

fail() { echo "FAIL: $*"; exit 1; }

sql() { "$psql" "$1" -X -A -t -q -v ON_ERROR_STOP=1 -c "$2"; }

out=$("$tool" init-store "$address") || fail "init-store: $out"
echo "$out"
echo "$out" | grep -q '^-- the schema is ready in "rightsmith" on ' || fail "no ready line"
echo "$out" | grep -q '^GRANT INSERT, UPDATE ON rightsmith_user_template TO "rightsmith_administrator";$' \
    || fail "no administrator grant"
echo "$out" | grep -q '^GRANT EXECUTE ON FUNCTION rightsmith_reserve_attempt(.*) TO "rightsmith_workstation";$' \
    || fail "no workstation grant"
echo "$out" | grep -q 'INSERT.*rightsmith_audit_trail' && fail "the trail is granted for writing"
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
# Tables of version 1, as init-store made them then, with a record and a grant.
sql "$address" "CREATE DATABASE version_one"
sql "$address" "CREATE ROLE desk LOGIN IN ROLE rightsmith_workstation"
v1="$address dbname=version_one"
sql "$v1" "CREATE TABLE rightsmith_schema (version integer); INSERT INTO rightsmith_schema VALUES (1);
CREATE TABLE rightsmith_user_template (store_key text PRIMARY KEY, version bigint NOT NULL, template bytea NOT NULL, size integer NOT NULL, changed_at timestamptz NOT NULL DEFAULT now());
CREATE TABLE rightsmith_logon_failures (store_key text NOT NULL, name_digest bytea NOT NULL, failures integer NOT NULL, last_failure bigint NOT NULL, PRIMARY KEY (store_key, name_digest));
CREATE TABLE rightsmith_audit_trail (id bigserial PRIMARY KEY, store_key text NOT NULL, time bigint NOT NULL, os_user text NOT NULL, host text NOT NULL, program text NOT NULL, event text NOT NULL, user_name bytea NOT NULL, actor bytea NOT NULL, detail text NOT NULL);
CREATE INDEX rightsmith_audit_trail_by_time ON rightsmith_audit_trail (store_key, time);
GRANT SELECT ON rightsmith_schema, rightsmith_user_template TO rightsmith_workstation;
GRANT SELECT, INSERT, UPDATE, DELETE ON rightsmith_logon_failures TO rightsmith_workstation;
GRANT SELECT, INSERT, DELETE ON rightsmith_audit_trail TO rightsmith_workstation;
GRANT USAGE ON SEQUENCE rightsmith_audit_trail_id_seq TO rightsmith_workstation;
GRANT TRUNCATE, TRIGGER ON rightsmith_audit_trail TO rightsmith_workstation;
GRANT UPDATE (failures) ON rightsmith_logon_failures TO PUBLIC"
now=$(sql "$v1" "SELECT (extract(epoch FROM clock_timestamp()) * 1000)::bigint")
sql "$v1 user=desk" "INSERT INTO rightsmith_audit_trail (store_key, time, os_user, host, program, event, user_name, actor, detail) VALUES ('k', $now, 'boris', 'adminpc', 'p', 'user removed', 'Carl', 'Supervisor', '')"
export XDG_CONFIG_HOME="$dir/config"

code=0
refused=$("$tool" init-store "$v1" 2>&1) || code=$?
[ "$code" -eq 1 ] && echo "$refused" | grep -q 'init-store --upgrade' || fail "version 1 not refused: $refused"
warned=$("$tool" --key k --store "$v1 user=desk" audit 2>&1) || fail "audit of version 1: $warned"
echo "$warned" | grep -q 'warning: .*should upgrade it' || fail "no advice to upgrade: $warned"

upgraded=$("$tool" init-store "$v1" --upgrade) || fail "upgrade: $upgraded"
echo "$upgraded"
echo "$upgraded" | grep -q '^-- upgraded from version 1 to version 5' || fail "no upgrade line"
echo "$upgraded" | grep -q 'only through the store.s functions: PUBLIC, rightsmith_workstation$' \
    || fail "the workstation role was not moved"
[ "$(sql "$v1" "SELECT version FROM rightsmith_schema")" = 5 ] || fail "still version 1"
# No way of writing those tables is left to anyone but their owner, by table or by column.
[ "$(sql "$v1" "SELECT bool_or(has_table_privilege(r, t, 'INSERT, UPDATE, DELETE, TRUNCATE, TRIGGER, REFERENCES')
    OR has_any_column_privilege(r, t, 'INSERT, UPDATE, REFERENCES'))
    FROM unnest(array['desk', 'rightsmith_workstation']) r,
    unnest(array['rightsmith_logon_failures', 'rightsmith_audit_trail', 'rightsmith_user_template_backups']) t")" = f ] \
    || fail "a direct write grant is left after the upgrade"
code=0
sql "$v1 user=desk" "DELETE FROM rightsmith_audit_trail" 2>/dev/null || code=$?
[ "$code" -ne 0 ] || fail "the workstation may still delete the trail"
sql "$v1 user=desk" "SELECT rightsmith_append_audit('k', 'boris', 'adminpc', 'p', 'logon accepted', 'Dora', 'Dora', '')" >/dev/null \
    || fail "the workstation may not call the function"
trail=$("$tool" --key k --store "$v1" audit 2>&1) || fail "audit: $trail"
echo "$trail"
echo "$trail" | grep -q 'user removed  user=Carl  by=Supervisor  \[boris@adminpc, p\]$' \
    || fail "the record of version 1 is not kept as it was"
echo "$trail" | grep -q 'logon accepted  user=Dora  by=Dora  \[boris@adminpc, p, role desk\]$' \
    || fail "the role is not shown"
echo "$trail" | grep -q warning && fail "warned after the upgrade"

# In a schema where every role may create objects, no operator of a
# workstation's runs in place of pg_catalog's inside the functions, with their
# owner's rights; and a workstation may record logons but no change.
sql "$address" "CREATE DATABASE open_schema"
open="$address dbname=open_schema"
sql "$open" "GRANT CREATE ON SCHEMA public TO PUBLIC; CREATE ROLE boss LOGIN IN ROLE rightsmith_administrator"
"$tool" init-store "$open" | "$psql" "$open" -X -q -v ON_ERROR_STOP=1 || fail "init-store in an open schema"
stand_in="LANGUAGE plpgsql AS 'BEGIN RAISE EXCEPTION ''ran as %'', current_user; END'"
sql "$open user=desk" "CREATE FUNCTION stand_in(numeric, integer) RETURNS numeric $stand_in;
CREATE FUNCTION stand_in(bigint, integer) RETURNS bigint $stand_in;
CREATE FUNCTION stand_in(numeric, bigint) RETURNS numeric $stand_in;
CREATE OPERATOR * (LEFTARG = numeric, RIGHTARG = integer, FUNCTION = stand_in);
CREATE OPERATOR % (LEFTARG = bigint, RIGHTARG = integer, FUNCTION = stand_in);
CREATE OPERATOR - (LEFTARG = numeric, RIGHTARG = bigint, FUNCTION = stand_in)"
for call in "* FROM rightsmith_reserve_attempt('k', 'n', 'w', 0, 0, 1000, 60000)" \
    "* FROM rightsmith_reserve_attempt('k', 'n', 'w', 0, 0, 1000, 60000)" \
    "rightsmith_append_audit('k', 'o', 'h', 'p', 'logon refused', '', '', '')"; do
    out=$(sql "$open user=desk" "SELECT $call" 2>&1) || fail "SELECT $call: $out"
done
# Taking back an attempt cannot date a count into the future, where it would
# keep its name waiting for good.
for attempt in 1 2 3; do
    at=$(sql "$open user=desk" "SELECT reserved_at FROM rightsmith_reserve_attempt('k', 'victim', 'w2', 9, 9, 1000, 60000)")
done
sql "$open user=desk" "SELECT rightsmith_release_attempt('k', 'victim', 'w2', $at, 9, 32503680000000, 9, 32503680000000)" >/dev/null
[ "$(sql "$open" "SELECT count(*) FROM rightsmith_logon_failures WHERE last_failure > $at")" = 0 ] \
    || fail "a count was dated into the future"
# A row another attempt drops (forgotten) while this one waits for it is
# counted afresh, not read as nothing and taken for the longest wait.
sql "$open" "INSERT INTO rightsmith_logon_failures VALUES ('k', 'gone', 0, 0)"
mkfifo "$dir/holder"
"$psql" "$open" -X -q <"$dir/holder" >/dev/null &
holder=$!
exec 3>"$dir/holder"
echo "BEGIN; SELECT 1 FROM rightsmith_logon_failures WHERE name_digest = 'gone' FOR UPDATE;" >&3
until [ "$(sql "$open" "SELECT count(*) FROM pg_stat_activity WHERE state = 'idle in transaction'")" = 1 ]; do
    sleep 0.1
done
sql "$open user=desk" "SELECT wait_ms, name_failures FROM rightsmith_reserve_attempt('k', 'gone', 'w3', 9, 9, 1000, 60000)" >"$dir/waited" &
waiter=$!
until [ "$(sql "$open" "SELECT count(*) FROM pg_stat_activity WHERE usename = 'desk' AND wait_event_type = 'Lock'")" = 1 ]; do
    sleep 0.1
done
echo "DELETE FROM rightsmith_logon_failures WHERE name_digest = 'gone'; COMMIT;" >&3
exec 3>&-
wait "$holder"
wait "$waiter" || fail "the reservation failed: $(cat "$dir/waited")"
[ "$(cat "$dir/waited")" = "0|0" ] || fail "a row dropped meanwhile was taken for a wait: $(cat "$dir/waited")"
[ "$(sql "$open" "SELECT failures FROM rightsmith_logon_failures WHERE name_digest = 'gone'")" = 1 ] \
    || fail "the attempt was not counted"
code=0
out=$(sql "$open user=desk" "SELECT rightsmith_append_audit('k', 'o', 'h', 'p', 'user removed', 'Carl', 'Supervisor', '')" 2>&1) || code=$?
[ "$code" -ne 0 ] && echo "$out" | grep -q 'only a role that may change the users records a change' \
    || fail "a workstation recorded a change: $out"
sql "$open user=boss" "SELECT rightsmith_append_audit('k', 'o', 'h', 'p', 'user removed', 'Carl', 'Supervisor', '')" >/dev/null \
    || fail "the administrator may not record a change"

# Rights the owner's default privileges would give every new table are not
# left on the trail, the failed logons or the settings.
sql "$address" "CREATE DATABASE defaults"
defaults="$address dbname=defaults"
sql "$defaults" "ALTER DEFAULT PRIVILEGES GRANT ALL ON TABLES TO PUBLIC"
"$tool" init-store "$defaults" >/dev/null || fail "init-store with default privileges"
[ "$(sql "$defaults" "SELECT bool_or(has_table_privilege('desk', t, 'INSERT, UPDATE, DELETE, TRUNCATE, TRIGGER, REFERENCES'))
    FROM unnest(array['rightsmith_logon_failures', 'rightsmith_audit_trail', 'rightsmith_settings']) t")" = f ] \
    || fail "default privileges left a direct write"
echo "init-store: ok"
