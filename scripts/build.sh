#!/usr/bin/env bash
# Configures (once) and builds the project into ./build with Ninja.
# Usage: scripts/build.sh [build-dir] [extra cmake -D options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
"$root/scripts/install-deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ ! -f "$dir/build.ninja" ] || [ $# -gt 0 ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@"
fi
cmake --build "$dir" -j"$(nproc)"
