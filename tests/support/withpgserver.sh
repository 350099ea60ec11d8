# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# Sourced by shell tests that need a throw-away PostgreSQL server: starts one
# with pgserver.sh in a fresh folder ($dir), stops it however the test ends,
# and sets $address (its connection string), $server (the script) and $psql.
# Exits 77, printing the reason, when PostgreSQL is not installed. Needs
# $support, the folder of this script and pgserver.sh.

server="$support/pgserver.sh"
dir=$(mktemp -d "${TMPDIR:-/tmp}/rightsmith-pg.XXXXXX")
chmod 0755 "$dir" # the server's user must reach the folder it gets below it
cleanup() {
    sh "$server" stop "$dir/server" >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

status=0
address=$(sh "$server" start "$dir/server") || status=$?
if [ "$status" -eq 77 ]; then
    echo "$address"
    exit 77
fi
[ "$status" -eq 0 ] || exit "$status"

psql=/usr/lib/postgresql/15/bin/psql
[ -x "$psql" ] || psql=psql
