#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-users passwd and passwords longer than the 40 bytes a scrambled
# one keeps: refused on a scrambled store, which keeps the old password; kept
# whole (not cut to its first 40 bytes) on a hashed one.
#   passwordlength.sh TOOL MAKESTORE WORKDIR
set -eu
tool=$1 makestore=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" HOME="$work"
key='\Software\RightsmithTest\Length'
users() { "$tool" --key "$key$1" "$2" "$3"; }
fail() { echo "FAIL: $*"; exit 1; }

"$makestore" "$key" "$work/data/UserTemplate"
forty=$(printf '%040d' 7)
long="${forty}x"

# Scrambled: Alice under KEY.
if out=$(printf '%s\n' "$long" | users '' passwd Alice 2>&1); then fail "41 bytes set: $out"; fi
echo "$out" | grep -q 'at most 40' || fail "passwd said: $out"
printf 'alice pw\n' | users '' check Alice || fail "the old password no longer checks"
printf '%s\n' "$forty" | users '' passwd Alice >/dev/null || fail "40 bytes refused"
printf '%s\n' "$forty" | users '' check Alice || fail "the 40-byte password does not check"

# Hashed: Carol under KEY\Hardened.
out=$(printf '%s\n' "$long" | users '\Hardened' passwd Carol) || fail "passwd: $out"
[ "$out" = "the password of Carol is set (hashed)" ] || fail "passwd said: $out"
printf '%s\n' "$long" | users '\Hardened' check Carol || fail "the whole password does not check"
if printf '%s\n' "$forty" | users '\Hardened' check Carol; then fail "its first 40 bytes check"; fi
echo "password length: ok"
