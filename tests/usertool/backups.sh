#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-users backups and restore --backup on a registry-mode, a
# file-mode and a hardened store written by usertool_makestore: each change
# keeps the user template it replaced; a backup is put back and the restore
# undone; a backup not kept or damaged is refused, changing nothing; the
# trail records the restore. Then junk in the registry database: verify says
# so and names the restore, restore moves it aside untouched and the store
# works again.
#   backups.sh TOOL MAKESTORE WORKDIR
set -eu
tool=$1 makestore=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" HOME="$work"
key='\Software\RightsmithTest\Backups'
file="$work/data/UserTemplate"
database="$work/config/rightsmith/registry.sqlite3"
fail() { echo "FAIL: $*"; exit 1; }

"$makestore" "$key" "$file" >/dev/null
for store in "$key" "$key\\File" "$key\\Hardened"; do
    users() { "$tool" --key "$store" "$@"; }
    before=$(users list)
    printf 'pw\n' | users add Carl >/dev/null
    printf 'pw\n' | users add Dora >/dev/null
    out=$(users backups) || fail "backups: $out"
    echo "$out"
    echo "$out" | grep -q "^  1  kept [0-9-]* [0-9:]* UTC  [0-9]* bytes  $(($(echo "$before" | wc -l) + 1)) users$" \
        || fail "$store: backup 1: $out"
    echo "$out" | grep -q "^  2  kept .* $(echo "$before" | wc -l) users$" || fail "$store: backup 2: $out"
    [ "$(users backups --json | grep -c '"good": true')" -eq 2 ] || fail "$store: backups --json"

    out=$(users restore --backup 2) || fail "$store: restore --backup 2: $out"
    echo "$out" | grep -q '^restored backup 2 (kept .*) to ' || fail "$store: restore said: $out"
    [ "$(users list)" = "$before" ] || fail "$store: not the users of backup 2"
    users restore --backup 1 >/dev/null || fail "$store: undo"
    users list | grep -q '^Dora$' || fail "$store: the restore was not undone"

    after=$(users list)
    code=0
    out=$(users restore --backup 9 2>&1) || code=$?
    [ "$code" -eq 1 ] && echo "$out" | grep -q 'no backup 9' || fail "$store: backup 9: $code $out"
    [ "$(users list)" = "$after" ] || fail "$store: a refused restore changed the users"
done

# A damaged backup of the file-mode store: listed as such, refused.
after=$("$tool" --key "$key\\File" list)
damaged=$(ls -r "$file.backups" | sed -n 2p)
printf 'XXXX' | dd of="$file.backups/$damaged" bs=1 seek=40 conv=notrunc 2>/dev/null
"$tool" --key "$key\\File" backups | grep -q '^  2 .*(fails its digest check)$' || fail "not shown damaged"
code=0
out=$("$tool" --key "$key\\File" restore --backup 2 2>&1) || code=$?
[ "$code" -eq 1 ] && echo "$out" | grep -q 'fails its digest check' || fail "damaged: $code $out"
[ "$("$tool" --key "$key\\File" list)" = "$after" ] || fail "a damaged backup changed the users"
"$tool" --key "$key\\Hardened" audit | grep -q 'store restored .*backup 1 of ' || fail "no trail"

# Junk in the registry database.
printf 'junk, not a database\n' > "$database"
rm -f "$database-wal" "$database-shm"
code=0
out=$("$tool" --key "$key\\File" --file "$file" verify) || code=$?
echo "$out"
[ "$code" -eq 1 ] || fail "verify of junk exits $code"
echo "$out" | grep -q "^unreadable: .*is damaged: it is not an SQLite database" || fail "verify: $out"
echo "$out" | grep -q "^  rightsmith-users --key '.*' --file '$file' restore$" || fail "no command: $out"
out=$("$tool" --key "$key\\File" --file "$file" restore) || fail "restore of junk: $out"
echo "$out"
kept=$(ls "$database".damaged-*) || fail "the junk was not kept"
[ "$(cat "$kept")" = 'junk, not a database' ] || fail "the kept junk changed"
echo "$out" | grep -q "kept as $kept" || fail "restore does not name it: $out"
"$tool" --key "$key\\File" --file "$file" verify | grep -q '^ok: 5 users$' || fail "not ok after restore"
printf 'pw\n' | "$tool" --key "$key\\File" --file "$file" add Erin >/dev/null || fail "no save after restore"
echo "backups and junk: ok"
