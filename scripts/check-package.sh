#!/usr/bin/env bash
# Checks a built package the way an installation would use it: unpacks it into a temporary
# root, runs the installed programs on the installed demo recording and validates the
# desktop entry and the file type.
# Usage: scripts/check-package.sh [PACKAGE.deb]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-$(ls -1 "$root"/build/paperless-recorder_*_amd64.deb | tail -n 1)}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$tmp/root"
usr=$tmp/root/usr
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libqt6widgets6* ]] || fail "the dependencies miss the Qt libraries"
[[ $depends == *libqcustomplot* ]] || fail "the dependencies miss QCustomPlot"
[[ $depends == *libqt6svg6* ]] || fail "the dependencies miss the SVG plugins of the icons"

for program in paperless-recorder paperless-recorder-tool paperless-recorder-sim; do
    [ -x "$usr/bin/$program" ] || fail "$program is not installed"
done
for file in share/paperless-recorder/demo.bin share/applications/paperless-recorder.desktop \
            share/icons/hicolor/scalable/apps/paperless-recorder.svg \
            share/mime/packages/paperless-recorder.xml; do
    [ -f "$usr/$file" ] || fail "$file is not installed"
done

# The installed programs keep their settings in the user's directory, not beside themselves.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config
mkdir -p "$HOME"
"$usr/bin/paperless-recorder" --version
"$usr/bin/paperless-recorder-tool" --version
"$usr/bin/paperless-recorder-sim" --version
"$usr/bin/paperless-recorder" --help | grep -q 'Usage: paperless-recorder' || fail "program --help"
"$usr/bin/paperless-recorder-sim" --help | grep -q 'Usage' || fail "simulator --help"
"$usr/bin/paperless-recorder-tool" info "$usr/share/paperless-recorder/demo.bin" | tee "$tmp/info.txt"
grep -q 'Channel' "$tmp/info.txt" || grep -qi 'channel' "$tmp/info.txt" || fail "info printed no channels"
"$usr/bin/paperless-recorder-tool" csv "$usr/share/paperless-recorder/demo.bin" "$tmp/demo.csv"
head -n 1 "$tmp/demo.csv" | grep -q '^Serial number,Time,Channel' || fail "csv header"
[ "$(wc -l < "$tmp/demo.csv")" -gt 1000 ] || fail "csv wrote too few rows"
"$usr/bin/paperless-recorder-tool" info "$usr/share/paperless-recorder/demo.bin" --log >/dev/null
ls "$XDG_CONFIG_HOME"/paperless-recorder/*_log.txt >/dev/null || fail "the load log is not in the user's directory"
ls "$usr"/bin/*_log.txt 2>/dev/null && fail "the load log was written beside the programs"

desktop-file-validate "$usr/share/applications/paperless-recorder.desktop"
grep -q '^Exec=paperless-recorder %f$' "$usr/share/applications/paperless-recorder.desktop" ||
    fail "desktop entry does not pass the file"
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' \
    "$usr/share/mime/packages/paperless-recorder.xml" || fail "file type is not well-formed"
echo "package check: $(basename "$deb") passed"
