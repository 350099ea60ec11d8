#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Builds the Debian packages from the build tree, installs them into this
# system with dpkg, builds examples/minimal (CMake) and a small program
# (pkg-config) against the installed development package, runs an installed
# tool, and removes the packages again, whatever failed.
# Usage: debian.sh BUILD_DIR SOURCE_DIR WORK_DIR. Exit 77: skipped.
set -eu
build=$1
source=$2
work=$3

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing packages needs root"
for tool in dpkg dpkg-deb dpkg-query cpack pkg-config g++; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
# Never touch what the user installed.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' 'librightsmith*' 'rightsmith-*' 2>/dev/null \
    | awk '$NF == "installed" { print $1 }')
[ -z "$installed" ] || skip "Rightsmith packages are installed already: $installed"

rm -rf "$work"
mkdir -p "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; exit 1; }
packages=""
for deb in "$work"/debs/*.deb; do
    packages="$packages $(dpkg-deb -f "$deb" Package)"
done
echo "packages:$packages"

cleanup() {
    # shellcheck disable=SC2086
    dpkg -P $packages >/dev/null || echo "could not remove:$packages"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# No apt: what the packages depend on must be here already.
dpkg -i "$work"/debs/*.deb

# examples/minimal with nothing but the installed package to find.
cmake -S "$source/examples/minimal" -B "$work/minimal" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/minimal" >/dev/null
test -x "$work/minimal/minimal"

# The core alone, on a machine without Qt Widgets' CMake package.
mkdir -p "$work/core"
cat >"$work/core/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(core LANGUAGES CXX)
find_package(Rightsmith 0.1 REQUIRED COMPONENTS Core)
if(NOT TARGET Rightsmith::Core OR TARGET Rightsmith::Widgets OR TARGET Qt6::Widgets)
    message(FATAL_ERROR "COMPONENTS Core brought more or less than the core")
endif()
CMAKE
cmake -S "$work/core" -B "$work/core/build" -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Widgets=ON >/dev/null

# Two lines, built with what pkg-config says.
cat >"$work/two.cpp" <<'CXX'
#include <security/model/tzksecuritytemplate.h>
int main() { return zkSecurity::TzkSecurityTemplate().topLevelCount(); }
CXX
# shellcheck disable=SC2046
g++ -std=c++20 "$work/two.cpp" -o "$work/two" $(pkg-config --cflags --libs rightsmith-core)
"$work/two"

# The installed tool, its manual page and the translations where the library looks.
version=$(dpkg-query -W -f='${Version}' rightsmith-tools)
[ "$(/usr/bin/rightsmith-users --version)" = "rightsmith-users $version" ]
[ "$(/usr/bin/rightsmith-template --version)" = "rightsmith-template $version" ]
test -f /usr/share/man/man1/rightsmith-users.1.gz
test -f /usr/share/rightsmith/translations/rightsmith_de.qm
echo "packaging/debian: all steps passed"
