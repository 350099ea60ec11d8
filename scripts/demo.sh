#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Builds the library and starts "Rightsmith Demo" on the current display.
# On a machine without one, run it as: xvfb-run -a scripts/demo.sh
set -eu
cd "$(dirname "$0")/.."

"$PWD/scripts/ensure-packages.sh"

launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
# shellcheck disable=SC2086
cmake -S . -B build $launcher
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target rightsmith-demo

# The demo keeps its user template in the working directory.
mkdir -p demo-data
cd demo-data
exec ../build/demo/rightsmith-demo "$@"
