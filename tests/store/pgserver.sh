#!/bin/sh
# Starts a throw-away PostgreSQL server with tests/support/pgserver.sh, asks it
# a question through the connection string it printed, and stops it; a server
# is stopped however the test ends. Exit 77 when PostgreSQL is not installed.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
server="$here/../support/pgserver.sh"
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
answer=$("$psql" "$address" -X -A -t -v ON_ERROR_STOP=1 \
    -c "SELECT 1, current_database(), current_setting('listen_addresses')")
echo "server at $address answered: $answer"
[ "$answer" = "1|rightsmith|" ] || { echo "unexpected answer" >&2; exit 1; }

sh "$server" stop "$dir/server"
[ ! -e "$dir/server" ] || { echo "stop left $dir/server behind" >&2; exit 1; }
if "$psql" "$address" -X -A -t -c "SELECT 1" >/dev/null 2>&1; then
    echo "the server still answers after stop" >&2
    exit 1
fi
echo "stopped"
