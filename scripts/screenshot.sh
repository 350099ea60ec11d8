#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Takes the picture of Rightsmith Demo shown in the README: the demo on a
# virtual X server, "Supervisor" logged on, two documents open.
#
#   scripts/screenshot.sh [BUILD-DIR [OUTPUT]]     (defaults: build, docs/demo.png)
#
# Needs xvfb-run, xdotool and ImageMagick's import (Debian: xvfb xauth xdotool imagemagick).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
output=${2:-$root/docs/demo.png}
case "$output" in /*) ;; *) output="$PWD/$output" ;; esac
demo="$build/demo/rightsmith-demo"
[ -x "$demo" ] || { echo "No $demo: build the target rightsmith-demo first." >&2; exit 1; }

if [ -z "${RIGHTSMITH_SCREENSHOT_INNER:-}" ]; then
    RIGHTSMITH_SCREENSHOT_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$output"
fi

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/home/.config" "$work/cwd"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY LANGUAGE LC_ALL LC_MESSAGES
# The README shows the English texts the windows are found by.
export LANG=C.UTF-8
cd "$work/cwd"

window() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1; }

"$demo" >/dev/null 2>&1 &
pid=$!
logon=$(window "Password Dialog")
xdotool windowfocus --sync "$logon"
xdotool key Return
frame=$(window "Rightsmith Demo")
xdotool windowfocus --sync "$frame"
xdotool key ctrl+n
sleep 0.3
xdotool key ctrl+n
sleep 1

eval "$(xdotool getwindowgeometry --shell "$frame")"
mkdir -p "$(dirname "$output")"
/usr/bin/import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$output"
echo "Wrote $output (${WIDTH}x${HEIGHT})"
