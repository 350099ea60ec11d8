#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Starts a throw-away PostgreSQL server with tests/support/pgserver.sh, asks it
# a question through the connection string it printed, and stops it; a server
# is stopped however the test ends. Exit 77 when PostgreSQL is not installed.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
support="$here/../../support"
. "$support/withpgserver.sh"

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
