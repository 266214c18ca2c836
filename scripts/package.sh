#!/usr/bin/env bash
# Builds the Debian package build/paperless-recorder_<version>_amd64.deb: the program, the
# command-line tool, the simulator, their manual pages, copyright file and changelog, desktop
# entry, icon, file type and the demo recording.
# Its run-time dependencies are found by dpkg-shlibdeps from the programs' own links.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
WITH_PACKAGING=1 "$root/scripts/install-deps.sh"
# The manual pages are asked for, also from a build dir configured before help2man came.
"$root/scripts/build.sh" "$root/build" -DRECORDER_MAN_PAGES=ON
cd "$root/build"
cpack -G DEB
ls -1 "$root"/build/paperless-recorder_*_amd64.deb
