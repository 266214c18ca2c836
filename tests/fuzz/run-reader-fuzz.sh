#!/usr/bin/env bash
# Builds the fuzz targets with clang, writes the reader's seed corpus and fuzzes the reader
# for the given number of seconds (default 300). Crashes land in build-fuzz/reader-crashes/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-300}
build="$root/build-fuzz"
WITH_CLANG=1 CC=clang CXX=clang++ "$root/scripts/build.sh" "$build" -DRECORDER_FUZZ=ON
seeds="$build/generated/reader-seeds"
corpus="$build/generated/reader-corpus"
mkdir -p "$seeds" "$corpus" "$build/reader-crashes"
"$build/tests/fuzz/fuzz_recorder_file_seeds" "$seeds"
"$build/tests/fuzz/fuzz_recorder_file" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/reader-crashes/" "$corpus" "$seeds"
