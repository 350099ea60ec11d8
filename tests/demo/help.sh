#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-demo --help / --version: print, exit 0, and touch neither a
# display nor a user store, with or without a window system.
#
#   help.sh DEMO VERSION
set -u
demo=${1:?usage: help.sh DEMO VERSION}
expected=${2:?usage: help.sh DEMO VERSION}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/config" "$work/cwd"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
cd "$work/cwd" || exit 1

fails=0
# check PLATFORM EXPECTED-PATTERN ARGS...: PLATFORM "none" runs with no display at all.
check() {
    platform=$1 pattern=$2
    shift 2
    if [ "$platform" = none ]; then
        out=$(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$demo" "$@" 2>&1)
    else
        out=$(QT_QPA_PLATFORM=$platform timeout 30 "$demo" "$@" 2>&1)
    fi
    status=$?
    if [ "$status" -ne 0 ] || ! printf '%s\n' "$out" | grep -Eq "$pattern"; then
        echo "FAIL: $platform $*: status $status, output:" >&2
        printf '%s\n' "$out" >&2
        fails=$((fails + 1))
    fi
    left=$(find "$work/home" "$work/config" "$work/cwd" -mindepth 1)
    if [ -n "$left" ]; then
        echo "FAIL: $platform $*: left behind: $left" >&2
        fails=$((fails + 1))
    fi
}

help='^Usage: .*rightsmith-demo \[options\]'
version="^rightsmith-demo $(printf '%s' "$expected" | sed 's/\./\\./g')\$"
check offscreen "$help" --help
check offscreen "$help" -?
check offscreen "$help" -style fusion -h
check offscreen "$version" --version
check none "$help" --help
check none "$version" -v
printf '%s\n' "$(QT_QPA_PLATFORM=offscreen "$demo" --help)" | grep -q -- '--version' \
    || { echo "FAIL: --help does not list --version" >&2; fails=$((fails + 1)); }

[ "$fails" -eq 0 ] && echo "PASS"
[ "$fails" -eq 0 ]
