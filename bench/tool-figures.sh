#!/usr/bin/env bash
# Whole-process figures of the tool's reading commands on a folder of max-size recorder files
# (16 channels, 10,485,760 bytes, one starting every 4 days), as a user would see them:
# seconds and peak resident memory by /usr/bin/time, and bytes of peak memory per stored sample.
#
#   bench/tool-figures.sh TOOL DIR COUNT...   makes DIR/files-COUNT (COUNT files) with the
#                                             tool's sample, measures, and removes each folder
#                                             again; with BENCH_YEAR=build/bench/bench_year
#                                             also the window's figures on each folder
#
# One line per measurement: files, command, seconds, peak KiB, bytes per stored sample.
set -uo pipefail
[ $# -ge 3 ] || { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
tool=$1 dir=$2
shift 2
export QT_QPA_PLATFORM=offscreen

measure() { # files samples name command...
    local files=$1 samples=$2 name=$3 out
    shift 3
    /usr/bin/time -o "$dir/time.txt" -f '%e %M' "$@" >/dev/null 2>/dev/null
    out=$(tail -1 "$dir/time.txt")
    local seconds=${out% *} kib=${out#* }
    printf '%5d  %-8s %8s s %10s KiB %6.2f B/sample\n' "$files" "$name" "$seconds" "$kib" \
        "$(echo "$kib * 1024 / $samples" | bc -l)"
}

for count in "$@"; do
    folder=$dir/files-$count
    rm -rf "$folder" && mkdir -p "$folder"
    for ((i = 0; i < count; i++)); do
        start=$(date -u -d "2015-01-01 00:00:00 UTC + $((i * 4)) days" '+%Y-%m-%d %H:%M:%S')
        "$tool" sample "$folder/$(printf 'f%03d' "$i").bin" --channels 16 --size 10485760 \
            --seed $((i + 1)) --start "$start" >/dev/null || exit 1
    done
    path=$folder
    [ "$count" -eq 1 ] && path=$folder/f000.bin
    samples=$("$tool" info "$path" | sed -n 's/^Samples: //p')
    measure "$count" "$samples" info "$tool" info "$path"
    measure "$count" "$samples" picture "$tool" picture "$path" "$dir/picture-$count.png"
    measure "$count" "$samples" stats "$tool" stats "$path" "2014-12-31 00:00:00" "2016-01-01 00:00:00"
    # Up to 30 files the CSV goes to a file (its size gives the rate); beyond, to /dev/null.
    csv=$dir/csv-$count.csv
    [ "$count" -gt 30 ] && csv=/dev/null
    measure "$count" "$samples" csv "$tool" csv "$path" "$csv"
    csvBytes=$(stat -c %s "$csv")
    rm -f "$dir/csv-$count.csv" "$dir/picture-$count.png"
    measure "$count" "$samples" dump "$tool" dump "$path"
    echo "      $samples stored samples; csv $csvBytes bytes"
    # The window's figures on the same folder (bench/YearBench.cpp), when BENCH_YEAR names it.
    if [ -n "${BENCH_YEAR:-}" ] && [ "$count" -gt 1 ]; then
        RECORDER_BENCH_FOLDER=$folder "$BENCH_YEAR" --benchmark_report_aggregates_only=true \
            --benchmark_color=false 2>/dev/null | grep -E 'median|target'
    fi
    rm -rf "$folder"
done
