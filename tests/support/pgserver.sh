#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# A throw-away PostgreSQL 15 server for tests.
#
#   pgserver.sh start DIR   fresh cluster in DIR (absent or empty), reachable only
#                           through a Unix socket in DIR; prints its connection string
#   pgserver.sh start DIR PORT [ADDRESS]
#                           the same on PORT, and with ADDRESS (such as 127.0.0.1)
#                           also over TCP there, where anyone may connect as anyone
#   pgserver.sh stop DIR    stops that server and removes DIR
#   pgserver.sh pause DIR [MODE]
#                           stops that server, keeping DIR: at once, as a crash
#                           would (MODE immediate, the default), or as an
#                           administrator's fast shutdown would (MODE fast)
#   pgserver.sh resume DIR  starts it again on the same data, recovering it
#
# PostgreSQL refuses to run as root: as root the server runs as nobody:nogroup,
# which owns DIR (mode 0700). Root's clients still reach the socket; other users
# cannot. Anyone else runs the server as themselves. Exit 77 without the binaries.
# PGSERVER_MAX_CONNECTIONS sets the server's max_connections (default 100).
set -eu

BIN=${RIGHTSMITH_PG_BIN:-/usr/lib/postgresql/15/bin}
SERVER_USER=nobody
SERVER_GROUP=nogroup
PORT=5432 # the socket lives in DIR, so every server may use the same port
LISTEN=''
MODE=immediate
MARKER=rightsmith-pgserver

usage() {
    echo "usage: $0 start DIR [PORT [ADDRESS]] | pause DIR [MODE] | stop|resume DIR" >&2
    exit 2
}

fail() {
    echo "pgserver: $*" >&2
    exit 1
}

[ $# -ge 2 ] || usage
command=$1
if [ "$command" = start ] && [ $# -le 4 ]; then
    PORT=${3:-$PORT}
    LISTEN=${4:-}
    case "$PORT" in '' | *[!0-9]*) usage ;; esac
    case "$LISTEN" in *[!0-9A-Za-z.:,]*) usage ;; esac
elif [ "$command" = pause ] && [ $# -eq 3 ]; then
    MODE=$3
    case "$MODE" in immediate | fast) ;; *) usage ;; esac
elif [ $# -ne 2 ]; then
    usage
fi
case "$2" in
    /*) DIR=$2 ;;
    *) DIR=$(pwd)/$2 ;;
esac

for tool in initdb pg_ctl createdb; do
    if [ ! -x "$BIN/$tool" ]; then
        echo "SKIP: PostgreSQL 15 server binaries not found (Debian package postgresql-15)"
        exit 77
    fi
done

# Variables such as PGPORT, PGDATA or PGOPTIONS must not steer this server.
for variable in $(env | sed -n 's/^\(PG[A-Z]*\)=.*/\1/p'); do
    unset "$variable"
done

# Runs a command as the server's user, from a folder that user may enter.
as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd / && HOME=$DIR setpriv --reuid="$SERVER_USER" --regid="$SERVER_GROUP" --clear-groups \
            --reset-env -- env HOME="$DIR" "$@")
    else
        (cd / && "$@")
    fi
}

# A libpq connection value: quoted when it holds spaces, quotes or backslashes.
conninfo_value() {
    case "$1" in
        *[\ \'\\]*) printf "'%s'" "$(printf '%s' "$1" | sed "s/[\\\\']/\\\\&/g")" ;;
        *) printf '%s' "$1" ;;
    esac
}

start() {
    if [ -e "$DIR" ] && [ -n "$(ls -A "$DIR")" ]; then
        fail "$DIR is not empty"
    fi
    # The socket's path (DIR/.s.PGSQL.5432) must fit into sun_path (107 bytes).
    [ ${#DIR} -le 90 ] || fail "$DIR is too long a path for a Unix socket"
    mkdir -p "$DIR"
    chmod 0700 "$DIR"
    if [ "$(id -u)" -eq 0 ]; then
        chown "$SERVER_USER:$SERVER_GROUP" "$DIR"
        as_server test -w "$DIR" \
            || fail "$SERVER_USER cannot reach $DIR: every folder above it must be searchable"
    fi
    : >"$DIR/$MARKER"

    auth_host=reject
    [ -z "$LISTEN" ] || auth_host=trust
    as_server "$BIN/initdb" -D "$DIR/data" -U postgres --auth-local=trust --auth-host=$auth_host \
        --encoding=UTF8 --locale=C --no-instructions >"$DIR/initdb.log" 2>&1 \
        || { cat "$DIR/initdb.log" >&2; fail "initdb failed"; }
    quoted=$(printf '%s' "$DIR" | sed "s/'/''/g")
    # Nothing is flushed to disk, but every commit is written before it is
    # answered, so that it survives pause (a crash of the server, not of the machine).
    # shellcheck disable=SC2016 # $1 is expanded by the inner shell
    as_server sh -c 'cat >>"$1"' sh "$DIR/data/postgresql.conf" <<CONF
listen_addresses = '$LISTEN'
unix_socket_directories = '$quoted'
port = $PORT
fsync = off
synchronous_commit = on
full_page_writes = off
max_connections = ${PGSERVER_MAX_CONNECTIONS:-100}
CONF
    as_server "$BIN/pg_ctl" start -w -s -D "$DIR/data" -l "$DIR/server.log" \
        || { cat "$DIR/server.log" >&2; fail "the server did not start"; }
    as_server "$BIN/createdb" -h "$DIR" -p "$PORT" -U postgres rightsmith \
        || fail "could not create the database rightsmith"
    echo "host=$(conninfo_value "$DIR") port=$PORT dbname=rightsmith user=postgres"
}

stop() {
    # Only a folder this script made is removed.
    [ -f "$DIR/$MARKER" ] || fail "$DIR was not made by $0 start"
    if [ -f "$DIR/data/postmaster.pid" ]; then
        as_server "$BIN/pg_ctl" stop -w -s -m fast -D "$DIR/data" || fail "the server did not stop"
    fi
    rm -rf "$DIR"
}

pause() {
    [ -f "$DIR/$MARKER" ] || fail "$DIR was not made by $0 start"
    as_server "$BIN/pg_ctl" stop -w -s -m "$MODE" -D "$DIR/data" || fail "the server did not stop"
}

resume() {
    [ -f "$DIR/$MARKER" ] || fail "$DIR was not made by $0 start"
    as_server "$BIN/pg_ctl" start -w -s -D "$DIR/data" -l "$DIR/server.log" \
        || { cat "$DIR/server.log" >&2; fail "the server did not start"; }
}

case "$command" in
    start) start ;;
    stop) stop ;;
    pause) pause ;;
    resume) resume ;;
    *) usage ;;
esac
