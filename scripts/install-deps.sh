#!/usr/bin/env bash
# Installs the Debian packages the project needs, but only when one of them is missing,
# so that a second run costs nothing. The archive's tests start a PostgreSQL server of their
# own (postgresql) and query it and SQLite files with the databases' own clients.
set -euo pipefail

packages=(
    cmake ninja-build pkg-config g++ ccache
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-svg-dev libqt6svg6
    libqcustomplot-dev libqcustomplot2.1-qt6 libjpeg62-turbo-dev
    libgtest-dev libgmock-dev libbenchmark-dev libmodbus-dev
    libsqlite3-dev libpq-dev libssl-dev
    sqlite3 postgresql
    xvfb xauth fonts-dejavu-core fonts-liberation fonts-wqy-microhei poppler-utils
)
if [ "${WITH_PACKAGING:-0}" = 1 ]; then
    packages+=(dpkg-dev file desktop-file-utils lintian help2man)
fi
if [ "${WITH_CLANG:-0}" = 1 ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
