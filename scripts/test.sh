#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Builds Rightsmith and runs every test through CTest.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/
set -eu
cd "$(dirname "$0")/.."

"$PWD/scripts/ensure-packages.sh"

build=build
extra=""
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    # The benchmarks are compiled by the normal build; they never run under
    # the sanitizers, so this build leaves them out. Line tables (-g1) are all
    # a sanitizer report needs, and build faster than full debug information.
    extra="-DRIGHTSMITH_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DRIGHTSMITH_BUILD_BENCHMARKS=OFF"
fi
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"

jobs=$(nproc 2>/dev/null || echo 2)
# shellcheck disable=SC2086
cmake -S . -B "$build" -DBUILD_TESTING=ON $extra $launcher
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
