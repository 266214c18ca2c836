#!/usr/bin/env bash
# Builds the Debian package build/paperless-recorder_<version>_amd64.deb: the program, the
# command-line tool, the simulator, desktop entry, icon, file type and the demo recording.
# Its run-time dependencies are found by dpkg-shlibdeps from the programs' own links.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
WITH_PACKAGING=1 "$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
cd "$root/build"
cpack -G DEB
ls -1 "$root"/build/paperless-recorder_*_amd64.deb
