#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# grant, deny, add and remove with --store on a throw-away PostgreSQL server:
# the shared store's matrix shows each change, the local one none; backups
# kept on the server are put back.
# Exit 77 when PostgreSQL is not installed.
#   shared.sh TOOL MAKESTORE
set -eu

tool=$1 makestore=$2
here=$(cd "$(dirname "$0")" && pwd)
support="$here/../support"
. "$support/withpgserver.sh"

fail() { echo "FAIL: $*"; exit 1; }

key='\Software\RightsmithTest\SharedUsers'
export XDG_CONFIG_HOME="$dir/home/config" HOME="$dir/home"
"$makestore" "$key" "$dir/home/data/UserTemplate" || fail "makestore"
"$tool" init-store "$address" >/dev/null || fail "init-store"
"$tool" --key "$key" copy-store --from local --to "$address" >/dev/null || fail "copy-store"
local=$("$tool" --key "$key" matrix --csv)

shared() { "$tool" --key "$key" --store "$address" "$@"; }
shared grant Alice File/New >/dev/null || fail "grant"
shared deny Alice 2 >/dev/null || fail "deny"
printf 'pw\n' | shared add Carol --like Alice >/dev/null || fail "add"
printf 'pw\n' | shared add Dave >/dev/null || fail "add"
shared remove Dave >/dev/null || fail "remove"
if shared remove Supervisor 2>/dev/null; then fail "Supervisor removed"; fi
out=$(shared matrix --csv)
[ "$out" = "user,File/New [1],File/Open [2],Manage users [3]
Supervisor,Yes,Yes,Yes
Alice,Yes,No,No
Carol,Yes,No,No" ] || fail "matrix --store: $out"
[ "$("$tool" --key "$key" matrix --csv)" = "$local" ] || fail "the local store changed"
# The server kept what the last three changes replaced; the one before the
# removal of Dave is put back, and that is undone.
[ "$(shared backups | grep -c ' users$')" -eq 3 ] || fail "backups --store: $(shared backups)"
shared restore --backup 1 >/dev/null || fail "restore --backup 1"
shared list | grep -q '^Dave$' || fail "backup 1 is not the users before the removal"
shared restore --backup 1 >/dev/null || fail "undo"
[ "$(shared matrix --csv)" = "$out" ] || fail "the restore was not undone"
echo "shared store: ok"

# Roles on the server, saved with the users in one compare-and-set.
shared role add Clerks >/dev/null || fail "role add --store"
shared role grant Clerks 2 >/dev/null || fail "role grant --store"
shared role assign Clerks Alice Carol >/dev/null || fail "role assign --store"
out=$(shared matrix --csv)
echo "$out" | grep -qx 'Alice,Clerks,No,Yes,No' || fail "matrix --store with roles: $out"
echo "$out" | grep -qx 'Carol,Clerks,No,Yes,No' || fail "matrix --store with roles: $out"
shared role list | grep -qx '  members: Alice, Carol' || fail "role list --store: $(shared role list)"
if shared role assign Clerks Nobody 2>/dev/null; then fail "a member who is not a user"; fi
[ "$(shared matrix --csv)" = "$out" ] || fail "a refused role change changed the store"
[ "$("$tool" --key "$key" matrix --csv)" = "$local" ] || fail "the local store changed"
echo "shared roles: ok"

# Tables of version 3 keep working without roles; a role change names the upgrade.
sql() { "$psql" "$1" -X -A -t -q -v ON_ERROR_STOP=1 -c "$2"; }
sql "$address" "CREATE DATABASE version_three"
v3="$address dbname=version_three"
"$tool" init-store "$v3" >/dev/null || fail "init-store version_three"
sql "$v3" "DROP TRIGGER rightsmith_keep_backup ON rightsmith_user_template;
DROP TABLE rightsmith_template_users, rightsmith_template_users_kept;
ALTER TABLE rightsmith_user_template DROP COLUMN roles, DROP COLUMN roles_size,
    DROP COLUMN users, DROP COLUMN nodes, DROP COLUMN roles_version;
ALTER TABLE rightsmith_user_template_backups DROP COLUMN roles, DROP COLUMN roles_size,
    DROP COLUMN users;
UPDATE rightsmith_schema SET version = 3"
"$tool" --key "$key" copy-store --from local --to "$v3" >/dev/null || fail "copy-store to version 3"
old() { "$tool" --key "$key" --store "$v3" "$@"; }
old grant Alice File/New >/dev/null || fail "grant on tables of version 3"
if out=$(old role add Clerks 2>&1); then fail "a role kept in tables of version 3"; fi
echo "$out" | grep -q 'init-store --upgrade' || fail "role add on version 3 said: $out"
[ -z "$(old role list)" ] || fail "roles on version 3: $(old role list)"
echo "version 3: ok"

# Roles cut on the way (not the size saved with them) or that do not load:
# damaged, naming the column, and the users still read.
for damage in "roles_size = roles_size + 1" "roles = '\\x0102'::bytea, roles_size = 2"; do
    sql "$address" "UPDATE rightsmith_user_template SET $damage"
    if out=$(shared role list 2>&1); then fail "role list with $damage: $out"; fi
    echo "$out" | grep -q 'role template "roles" in .* cannot be read' || fail "role list said: $out"
    out=$(shared verify) && fail "verify with $damage: $out"
    echo "$out" | grep -q '^ok: 3 users$' || fail "verify with $damage: $out"
    echo "$out" | grep -q '^unreadable: the role template .* cannot be read' || fail "verify: $out"
    # Nor are they copied, and the users are not copied without them.
    fresh="$dir/fresh-$(printf '%s' "$damage" | cksum | cut -d' ' -f1)"
    if out=$(XDG_CONFIG_HOME="$fresh/config" HOME="$fresh" \
        "$tool" --key "$key" copy-store --from "$address" --to local 2>&1); then
        fail "copy-store with $damage: $out"
    fi
    echo "$out" | grep -q 'role template "roles" in .* nothing was copied' || fail "copy-store: $out"
    [ ! -e "$fresh/config/rightsmith/registry.sqlite3" ] || fail "copy-store with $damage wrote"
done
echo "damaged shared roles: ok"
