#!/usr/bin/env bash
# Every number the command-line tool prints or writes, saved for a byte-for-byte comparison of
# two builds: run it with the old build, then with the new one, then compare.
#
#   scripts/tool-outputs.sh corpus DIR              sample files, a joined folder, the demo, the
#                                                   reader's fixture shapes, live records and an
#                                                   import file, written by the tool into DIR
#   scripts/tool-outputs.sh save TOOL CORPUS OUT    info, dump, csv (whole, page, screened),
#                                                   readout, stats, import, picture and report of
#                                                   every recording of CORPUS, and of the archive
#                                                   of its folder, into OUT
#   scripts/tool-outputs.sh compare OLD NEW         byte-for-byte; prints what differs
#
# TOOL is a paperless-recorder-tool (its window helper beside it). Outputs above 1 MiB are kept
# as their SHA-256 only. A PDF report is compared as its text without the print time and the
# pictures it holds (pdftotext, pdfimages from poppler-utils).
set -uo pipefail

usage() {
    sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}

root=$(cd "$(dirname "$0")/.." && pwd)

corpus() {
    local dir=$1 tool=${2:-$root/build/tools/cli/paperless-recorder-tool}
    mkdir -p "$dir/folder" "$dir/fixtures"
    "$tool" sample "$dir/day.bin"
    "$tool" sample "$dir/sixteen.bin" --channels 16 --days 0.5 --seed 7 --first-channel 1 \
        --interruptions-per-day 20 --bad-runs-per-day 10
    "$tool" sample "$dir/largest.bin" --channels 16 --size 10485760
    "$tool" sample "$dir/late-channels.bin" --channels 3 --first-channel 12 --days 0.3 --seed 3
    cp "$root/demo/demo.bin" "$dir/demo.bin"
    # Consecutive exports overlapping by a few hours, and one channel set that changes.
    "$tool" sample "$dir/folder/a.bin" --channels 4 --days 1.2 --seed 11 --start "2015-03-16 00:00:00"
    "$tool" sample "$dir/folder/b.bin" --channels 4 --days 1.2 --seed 12 --start "2015-03-17 02:00:00"
    "$tool" sample "$dir/folder/c.bin" --channels 3 --days 0.5 --seed 13 --start "2015-03-18 12:00:00"
    "$tool" sample "$dir/folder/d.bin" --channels 4 --size 1048576 --seed 14 --start "2015-03-19 00:00:00"
    # The reader's fixture shapes (the fuzz seeds): built from the test source with the writer.
    local seeds=$dir/fixtures/seeds
    if g++ -std=c++20 -O1 -I"$root" -I"$root/build/include" \
        "$root/tests/fuzz/RecorderFileSeeds.cpp" "$root/build/data/librecorder_data.a" \
        -lpthread -o "$seeds" 2>/dev/null; then
        "$seeds" "$dir/fixtures" && rm -f "$seeds"
        for f in "$dir"/fixtures/*; do [ "${f%.bin}" = "$f" ] && mv "$f" "$f.bin"; done
    else
        echo "fixture shapes skipped: cannot build tests/fuzz/RecorderFileSeeds.cpp" >&2
    fi
    # Live records: two channels, an outage marker, a repeated second, and a record started
    # again after a clock correction.
    printf 'No.,Channel,Value,Time,Unit\n' >"$dir/live-a.csv"
    local n=0 s
    for s in $(seq 0 299); do
        [ "$s" -ge 120 ] && [ "$s" -lt 130 ] && continue
        printf '%d,1,%s,2026-12-10 10:%02d:%02d,\xa1\xe6\n' $((++n)) "$((s % 37)).$((s % 10))" $((s / 60)) $((s % 60)) >>"$dir/live-a.csv"
        printf '%d,2,%s,2026-12-10 10:%02d:%02d,%%\n' $((++n)) "$((s * 7 % 101)).25" $((s / 60)) $((s % 60)) >>"$dir/live-a.csv"
        if [ "$s" -eq 119 ]; then
            printf '%d,1,-158,2026-12-10 10:02:00,\xa1\xe6\n%d,2,-158,2026-12-10 10:02:00,%%\n' $((n + 1)) $((n + 2)) >>"$dir/live-a.csv"
            n=$((n + 2))
        fi
    done
    {
        printf 'No.,Channel,Value,Time,Unit\n'
        printf '1,3,1.5,2026-12-10 11:00:00,Mpa\n2,3,1.25,2026-12-10 10:59:58,Mpa\n'
        printf '3,3,1.75,2026-12-10 11:00:01,Mpa\n4,5,70000,2026-12-10 11:00:01,Hz\n'
        printf '5,3,-158,2026-12-10 11:00:02,Mpa\n6,3,0.001,2026-12-10 11:00:05,Mpa\n'
        printf '7,5,12.345678,2026-12-10 11:00:00,Hz\n8,3,1.75,2026-12-10 11:00:01,Mpa\n'
    } >"$dir/live-b.csv"
    # An import file: irregular times, channels in any order, a number beyond 16 bits.
    {
        printf 'serial,channel,value,time,unit\n'
        for s in $(seq 0 499); do
            printf '%d,%d,%d.%03d,2015/03/16 09:%02d:%02d,Kpa\n' "$s" $((s % 3 + 1)) $((s * 13 % 250)) $((s * 7 % 1000)) $((s * 3 / 60 % 60)) $((s * 3 % 60))
        done
        printf '900,70000,5.5,2015-03-16 10:00:00,A\n901,1,-158.0,2015-03-16 10:00:01,Kpa\n'
    } >"$dir/import.csv"
}

# The time window info prints for a recording: "START|END".
window_of() {
    "$1" info "$2" 2>/dev/null | sed -n 's/^Time window: \(.*\) to \(.*\)$/\1|\2/p'
}

plus_seconds() { # "yyyy-MM-dd HH:mm:ss" + seconds
    date -u -d "$1 UTC + $2 seconds" '+%Y-%m-%d %H:%M:%S'
}

seconds_between() {
    echo $(($(date -u -d "$2 UTC" +%s) - $(date -u -d "$1 UTC" +%s)))
}

# Runs one command, its standard output, standard error and exit status into OUT/NAME.*.
run() {
    local out=$1 name=$2
    shift 2
    "$@" >"$out/$name.out" 2>"$out/$name.err"
    echo $? >"$out/$name.status"
}

save_recording() {
    local tool=$1 path=$2 out=$3
    mkdir -p "$out"
    run "$out" info "$tool" info "$path"
    run "$out" dump "$tool" dump "$path"
    run "$out" csv "$tool" csv "$path" -
    run "$out" csv-page2 "$tool" csv "$path" - --page 2 --page-size 100
    run "$out" csv-last-page "$tool" csv "$path" - --page 9999 --page-size 10000
    local window start end span
    window=$(window_of "$tool" "$path")
    start=${window%%|*}
    end=${window##*|}
    if [ -n "$window" ] && span=$(seconds_between "$start" "$end") && [ "$span" -gt 4 ]; then
        local q1 mid q3
        q1=$(plus_seconds "$start" $((span / 4)))
        mid=$(plus_seconds "$start" $((span / 2)))
        q3=$(plus_seconds "$start" $((span * 3 / 4)))
        run "$out" csv-screened "$tool" csv "$path" - --from "$q1" --to "$q3" --channels 1-3,5,12-16
        run "$out" csv-screened-page "$tool" csv "$path" - --from "$q1" --page 3 --page-size 100
        local i=0 t
        for t in "$start" "$(plus_seconds "$start" 1)" "$q1" "$mid" "$q3.500" "$end" \
            "$(plus_seconds "$end" 1)" "$(plus_seconds "$start" -5)"; do
            run "$out" "readout-$i" "$tool" readout "$path" "$t"
            i=$((i + 1))
        done
        run "$out" readout-pair "$tool" readout "$path" "$q1" --cursor-b "$q3"
        run "$out" readout-screened "$tool" readout "$path" "$mid" --from "$q1" --to "$q3" --channels 2,4
        run "$out" stats-all "$tool" stats "$path" "$start" "$end"
        run "$out" stats-part "$tool" stats "$path" "$q3" "$q1" --channels 1,3
        run "$out" stats-second "$tool" stats "$path" "$mid" "$mid"
        run "$out" picture-screened "$tool" picture "$path" "$out/picture-screened.png" --from "$q1" --to "$mid" --width 640 --height 480
    fi
    run "$out" picture "$tool" picture "$path" "$out/picture.png"
    run "$out" picture-own "$tool" picture "$path" "$out/picture-own.bmp" --own-scales --width 800 --height 600
    run "$out" report-list "$tool" report "$path" "$out/report-list.pdf" --page 2 --page-size 100
    run "$out" report-chart "$tool" report "$path" "$out/report-chart.pdf" --chart
}

save() {
    local tool=$1 corpus=$2 out=$3 path name
    tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
    mkdir -p "$out"
    for path in "$corpus"/*.bin "$corpus"/*.csv "$corpus"/folder "$corpus"/fixtures/*.bin; do
        [ -e "$path" ] || continue
        name=${path#"$corpus"/}
        name=${name//\//_}
        [ "$name" = import.csv ] && continue
        echo "$name" >&2
        save_recording "$tool" "$path" "$out/$name"
    done
    mkdir -p "$out/import"
    run "$out/import" import "$tool" import "$corpus/import.csv"
    # The archive (a database in a folder of its own): the joined folder added under one
    # recorder's name, then every reading command on archive:NAME.
    if [ -d "$corpus/folder" ]; then
        local home
        home=$(mktemp -d)
        mkdir -p "$out/archive"
        XDG_DATA_HOME=$home run "$out/archive" archive-add "$tool" archive add --recorder R "$corpus/folder"
        XDG_DATA_HOME=$home save_recording "$tool" archive:R "$out/archive"
        rm -rf "$home"
    fi
    # A report carries the time it was printed: its text without the print time, and the
    # pictures it holds, are what is compared. Big outputs are kept as their hash.
    find "$out" -name '*.pdf' | while read -r f; do
        pdftotext -layout "$f" - | grep -v 'Print time' >"$f.txt"
        mkdir -p "$f.images" && pdfimages -png "$f" "$f.images/image"
        rm "$f"
    done
    find "$out" -type f -size +1M | while read -r f; do
        sha256sum <"$f" | cut -d' ' -f1 >"$f.sha256" && rm "$f"
    done
}

compare() {
    if diff -r -q "$1" "$2"; then
        echo "identical: $(find "$1" -type f | wc -l) outputs"
    else
        return 1
    fi
}

case ${1:-} in
corpus) [ $# -ge 2 ] || usage; corpus "${@:2}" ;;
save) [ $# -eq 4 ] || usage; save "$2" "$3" "$4" ;;
compare) [ $# -eq 3 ] || usage; compare "$2" "$3" ;;
*) usage ;;
esac
