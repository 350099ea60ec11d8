#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Installs the Debian packages the build, the tests and the demo need, when
# they are missing. As root it uses apt-get; otherwise it names the packages.
set -eu

PACKAGES="cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev
libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool imagemagick x11-apps
qt6-l10n-tools qt6-tools-dev libsodium-dev postgresql-15 libpq-dev groff-base doxygen dpkg-dev
file"

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing missing packages:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
else
    echo "These Debian packages are missing:$missing" >&2
    echo "Install them with: sudo apt-get install$missing" >&2
    exit 1
fi
