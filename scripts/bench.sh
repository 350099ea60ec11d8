#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Builds Rightsmith (RelWithDebInfo, in build/) and runs every benchmark, each
# figure beside the floor it is measured against. Extra arguments go to each
# benchmark program, e.g. --benchmark_filter=checkId.
#   scripts/bench.sh
set -eu
cd "$(dirname "$0")/.."

"$PWD/scripts/ensure-packages.sh"

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIGHTSMITH_BUILD_BENCHMARKS=ON
cmake --build build -j "$jobs" --target bench_security bench_idlepass bench_registry bench_userslist
echo "cores: $jobs"
for program in build/bench/bench_security build/bench/bench_idlepass build/bench/bench_registry \
    build/bench/bench_userslist; do
    "$program" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"
done
