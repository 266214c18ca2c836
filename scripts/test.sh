#!/usr/bin/env bash
# Builds the project and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build"
cd "$root/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
