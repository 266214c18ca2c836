#!/usr/bin/env bash
# A long live run under random faults: poll --record against the simulator on a
# pseudo-terminal, and the window beside it; reports ticks, reopens, breaks, memory and the
# window's largest event latency. Not part of the test suite.
# Usage: scripts/soak.sh [minutes] [bench_soak options...]   (default 10 minutes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
shift || true
soak="$root/build/bench/bench_soak"
[ -x "$soak" ] || cmake --build "$root/build" --target bench_soak
exec env QT_QPA_PLATFORM=offscreen nice "$soak" --minutes "$minutes" "$@"
