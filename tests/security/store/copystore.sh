#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-users copy-store and --store against a throw-away PostgreSQL
# server: the local user template copied to the server lists the same users
# there; a second copy is refused without --replace; audit and unlock read
# the server's tables; a password set with --store is checked there; the server's template copied into a fresh home
# lists the same users, and the roles go with them. Exit 77 when PostgreSQL is not installed.
#   copystore.sh TOOL MAKESTORE
set -eu

tool=$1 makestore=$2
here=$(cd "$(dirname "$0")" && pwd)
support="$here/../../support"
. "$support/withpgserver.sh"

fail() { echo "FAIL: $*"; exit 1; }

key='\Software\RightsmithTest\Shared'
export XDG_CONFIG_HOME="$dir/home/config" HOME="$dir/home"
"$makestore" "$key" "$dir/home/data/UserTemplate" || fail "makestore"
"$tool" init-store "$address" >/dev/null || fail "init-store"
"$tool" --key "$key" role add Clerks >/dev/null || fail "role add"
"$tool" --key "$key" role assign Clerks Alice >/dev/null || fail "role assign"

out=$("$tool" --key "$key" copy-store --from local --to "$address") || fail "copy-store: $out"
echo "$out"
echo "$out" | grep -q '^copied 2 users and 1 role from .* to the shared user store ' \
    || fail "copy-store said: $out"
[ "$("$tool" --key "$key" --store "$address" role list)" = "$("$tool" --key "$key" role list)" ] \
    || fail "the server lists other roles"
[ "$("$tool" --key "$key" --store "$address" list)" = "$("$tool" --key "$key" list)" ] \
    || fail "the server lists other users"
"$tool" --key "$key" --store "$address" verify | grep -q '^ok: 2 users$' || fail "verify --store"

code=0
refused=$("$tool" --key "$key" copy-store --from local --to "$address" 2>&1) || code=$?
[ "$code" -eq 1 ] || fail "a second copy exited with $code"
echo "$refused" | grep -q 'holds a user template already' || fail "refused with: $refused"
"$tool" --key "$key" copy-store --from local --to "$address" --replace >/dev/null \
    || fail "copy-store --replace"

out=$("$tool" --key "$key" --store "$address" audit) || fail "audit --store"
[ -z "$out" ] || fail "audit --store on an empty trail said: $out"
"$tool" --key "$key" --store "$address" unlock Alice | grep -q '^no failed logons of Alice' \
    || fail "unlock --store"

printf 'new pw\n' | "$tool" --key "$key" --store "$address" passwd Alice || fail "passwd --store"
printf 'new pw\n' | "$tool" --key "$key" --store "$address" check Alice || fail "check --store"
if printf 'alice pw\n' | "$tool" --key "$key" --store "$address" check Alice; then
    fail "the old password still matches on the server"
fi
printf 'alice pw\n' | "$tool" --key "$key" check Alice || fail "the local store changed"

export XDG_CONFIG_HOME="$dir/fresh/config" HOME="$dir/fresh"
out=$("$tool" --key "$key" copy-store --from "$address" --to local) || fail "copy back: $out"
echo "$out" | grep -q '^copied 2 users and 1 role from the shared user store .* to the value ' \
    || fail "copy back said: $out"
[ "$("$tool" --key "$key" list | tr '\n' ' ')" = "Supervisor Alice " ] || fail "list in the fresh home"
"$tool" --key "$key" role list | grep -qx '  members: Alice' || fail "roles in the fresh home"
printf 'new pw\n' | "$tool" --key "$key" check Alice || fail "the copied password"
echo "copy-store: ok"
