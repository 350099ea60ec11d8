#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-users verify and restore on a file-mode store of its own: a cut
# user template file does not verify; restoring a good copy brings every user
# back, keeps the cut file aside, and the store verifies again.
#   restore.sh TOOL MAKESTORE WORKDIR
set -eu
tool=$1 makestore=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" HOME="$work"
key='\Software\RightsmithTest\Restore'
file="$work/data/UserTemplate"

fail() { echo "FAIL: $*"; exit 1; }

"$makestore" "$key" "$file"
"$tool" --key "$key\\File" --file "$file" verify | grep -q '^ok: 3 users$' || fail "a good store does not verify"
cp "$file" "$work/good-copy"
size=$(wc -c < "$file")
head -c $((size - 7)) "$work/good-copy" > "$file"
before=$(cksum < "$work/config/rightsmith/registry.sqlite3")

if out=$("$tool" --key "$key\\File" --file "$file" verify); then fail "a cut file verifies"; fi
echo "$out" | grep -q 'unreadable: .*not the one its last save stored' || fail "verify: $out"
[ "$(cksum < "$work/config/rightsmith/registry.sqlite3")" = "$before" ] || fail "verify wrote"

if "$tool" --key "$key\\File" --file "$file" restore "$work/missing" 2>/dev/null; then fail "restored nothing"; fi
printf 'not a template' > "$work/junk"
if "$tool" --key "$key\\File" --file "$file" restore "$work/junk" 2>/dev/null; then fail "restored junk"; fi

out=$("$tool" --key "$key\\File" --file "$file" restore "$work/good-copy") || fail "restore: $out"
echo "$out" | grep -q '^restored 3 users from' || fail "restore said: $out"
"$tool" --key "$key\\File" --file "$file" verify | grep -q '^ok: 3 users$' || fail "restored store does not verify"
cmp -s "$file" "$work/good-copy" || fail "the file is not the copy"
kept=$(ls "$file".unreadable-*) || fail "the cut file was not kept"
[ "$(wc -c < "$kept")" -eq $((size - 7)) ] || fail "the kept file is not the cut one"
[ "$("$tool" --key "$key\\File" --file "$file" list | wc -l)" -eq 3 ] || fail "list"
echo "verify and restore: ok"
