#!/usr/bin/env bash
# Checks a built package the way an installation would use it: runs Debian's package checker
# on it (any error fails), unpacks it into a temporary root, checks its copyright file,
# changelog and manual pages, runs the installed programs on the installed demo recording and
# validates the desktop entry and the file type.
# Usage: scripts/check-package.sh [PACKAGE.deb]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-$(ls -1 "$root"/build/paperless-recorder_*_amd64.deb | tail -n 1)}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

# Errors fail the check; warnings and notes are shown for the reader of the log.
lintian_options=(--fail-on error --display-info)
[ "$(id -u)" -eq 0 ] && lintian_options+=(--allow-root)
lintian "${lintian_options[@]}" "$deb" || fail "lintian reports errors"

dpkg-deb -x "$deb" "$tmp/root"
usr=$tmp/root/usr
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libqt6widgets6* ]] || fail "the dependencies miss the Qt libraries"
[[ $depends == *libqcustomplot* ]] || fail "the dependencies miss QCustomPlot"
[[ $depends == *libqt6svg6* ]] || fail "the dependencies miss the SVG plugins of the icons"
[[ $depends == *libsqlite3* && $depends == *libpq5* ]] || fail "the dependencies miss the archive's database clients"

for program in paperless-recorder paperless-recorder-tool paperless-recorder-sim; do
    [ -x "$usr/bin/$program" ] || fail "$program is not installed"
done
for file in share/paperless-recorder/demo.bin share/applications/paperless-recorder.desktop \
            share/icons/hicolor/scalable/apps/paperless-recorder.svg \
            share/mime/packages/paperless-recorder.xml; do
    [ -f "$usr/$file" ] || fail "$file is not installed"
done

doc=$usr/share/doc/paperless-recorder
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$doc/copyright" || fail "no copyright file in Debian's form"
grep -q '^Copyright: .*Paperless recorder developers' "$doc/copyright" || fail "copyright holder"
gzip -t "$doc/changelog.gz" || fail "no compressed changelog"
zcat "$doc/changelog.gz" | head -n 1 | grep -qF "paperless-recorder ($version) " ||
    fail "the changelog's newest entry is not version $version"
for program in paperless-recorder paperless-recorder-tool paperless-recorder-sim; do
    page=$usr/share/man/man1/$program.1.gz
    [ -f "$page" ] || fail "no manual page for $program"
    zcat "$page" | grep -q "^\.TH \"\?${program^^}" || fail "$page is no manual page of $program"
    zcat "$page" | grep -A1 '^\.SH SYNOPSIS' | grep -qF ".B $program" ||
        fail "the manual page of $program has no synopsis"
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
# The archive in the user's data folder: what goes in reads back as the file.
export XDG_DATA_HOME=$tmp/home/.local/share
"$usr/bin/paperless-recorder-tool" archive add --recorder demo "$usr/share/paperless-recorder/demo.bin" ||
    fail "archive add"
[ -f "$XDG_DATA_HOME/paperless-recorder/archive.sqlite" ] || fail "the archive is not in the user's data folder"
cmp <("$usr/bin/paperless-recorder-tool" dump archive:demo) \
    <("$usr/bin/paperless-recorder-tool" dump "$usr/share/paperless-recorder/demo.bin") ||
    fail "the archive does not read back as the file"
# The drawing commands run in the tool's helper, found from the installed tool; the other
# commands start without Qt.
[ -x "$usr/libexec/paperless-recorder/paperless-recorder-tool-window" ] || fail "the tool's window helper is not installed"
readelf -d "$usr/bin/paperless-recorder-tool" | grep -q 'NEEDED.*Qt' && fail "the tool links Qt"
QT_QPA_PLATFORM=offscreen "$usr/bin/paperless-recorder-tool" picture \
    "$usr/share/paperless-recorder/demo.bin" "$tmp/demo.png" || fail "picture"
file "$tmp/demo.png" | grep -q 'PNG image' || fail "picture wrote no PNG"
QT_QPA_PLATFORM=offscreen "$usr/bin/paperless-recorder-tool" picture archive:demo \
    "$tmp/archive.png" || fail "picture of the archive"
file "$tmp/archive.png" | grep -q 'PNG image' || fail "picture of the archive wrote no PNG"
"$usr/bin/paperless-recorder-tool" info "$usr/share/paperless-recorder/demo.bin" --log >/dev/null
ls "$XDG_CONFIG_HOME"/paperless-recorder/*_log.txt >/dev/null || fail "the load log is not in the user's directory"
ls "$usr"/bin/*_log.txt 2>/dev/null && fail "the load log was written beside the programs"

# Hints (such as two main categories) count as failures too: the validator still exits 0.
validation=$(desktop-file-validate "$usr/share/applications/paperless-recorder.desktop" 2>&1) ||
    fail "desktop entry: $validation"
[ -z "$validation" ] || fail "desktop entry: $validation"
grep -q '^Exec=paperless-recorder %f$' "$usr/share/applications/paperless-recorder.desktop" ||
    fail "desktop entry does not pass the file"
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' \
    "$usr/share/mime/packages/paperless-recorder.xml" || fail "file type is not well-formed"
echo "package check: $(basename "$deb") passed"
