#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-users on a store with every hardening option on (written by
# usertool_makestore under KEY\Hardened): the audit trail, a hashed password
# checked and set, and a lock cleared; each change lands in the trail.
#   hardened.sh TOOL MAKESTORE WORKDIR
set -eu
tool=$1 makestore=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" HOME="$work"
key='\Software\RightsmithTest\Hardening'
users() { "$tool" --key "$key\\Hardened" "$@"; }
fail() { echo "FAIL: $*"; exit 1; }

"$makestore" "$key" "$work/data/UserTemplate"

trail=$(users audit)
[ "$(echo "$trail" | grep -c 'logon accepted  user=Carol  by=Carol')" -eq 1 ] || fail "audit: $trail"
[ "$(echo "$trail" | grep -c 'logon refused  user=Carol ')" -eq 5 ] || fail "audit: $trail"
echo "$trail" | grep -q 'carol pw\|not carol' && fail "a password in the trail: $trail"
[ -z "$(users audit --since 2999-01-01)" ] || fail "audit --since the future printed records"
users audit --json --user Carol | grep -q '"event": "logon refused"' || fail "audit --json --user"
[ "$(users audit --user Nobody)" = "" ] || fail "audit --user Nobody printed records"

printf 'carol pw\n' | users check Carol || fail "the hashed password does not check"
if printf 'carol\n' | users check Carol; then fail "a wrong password checks"; fi

out=$(printf 'new pw\n' | users passwd Carol) || fail "passwd: $out"
[ "$out" = "the password of Carol is set (hashed)" ] || fail "passwd said: $out"
printf 'new pw\n' | users check Carol || fail "the new password does not check"
if printf 'carol pw\n' | users check Carol; then fail "the old password still checks"; fi

[ "$(users unlock Carol)" = "the failed logons of Carol are forgotten" ] || fail "unlock"
[ "$(users unlock Carol)" = "no failed logons of Carol are counted" ] || fail "unlock again"

users deny Carol 1 >/dev/null || fail "deny"
users grant Carol 1 >/dev/null || fail "grant"
printf 'dan pw\n' | users add Dan >/dev/null || fail "add"
users remove Dan >/dev/null || fail "remove"

trail=$(users audit)
for change in 'right denied  user=Carol' 'right granted  user=Carol' 'user added  user=Dan' \
    'user removed  user=Dan'; do
    [ "$(echo "$trail" | grep -c "  $change")" -eq 1 ] || fail "audit, $change: $trail"
done
[ "$(echo "$trail" | grep -c '  password changed  user=Carol')" -eq 1 ] || fail "audit: $trail"
[ "$(echo "$trail" | grep -c '  lock cleared  user=Carol')" -eq 1 ] || fail "audit: $trail"
echo "$trail" | grep -q 'new pw' && fail "a password in the trail: $trail"
echo "hardened store: ok"

# Without a store, nothing is made: the commands that write say so and fail.
empty="$work/empty"
mkdir -p "$empty"
for command in "unlock Carol" "passwd Carol"; do
    if printf 'x\n' | HOME="$empty" XDG_CONFIG_HOME="$empty/config" users $command 2>/dev/null; then
        fail "$command without a store succeeded"
    fi
done
[ ! -e "$empty/config" ] || fail "a store was made where there was none"
echo "no store: ok"
