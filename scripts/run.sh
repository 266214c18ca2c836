#!/usr/bin/env bash
# Builds the program (installing missing Debian packages first) and opens the bundled demo
# recording in it, on the current display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display to show the program on (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
    echo "        Without a desktop, try: xvfb-run -s '-screen 0 1400x1050x24' scripts/run.sh" >&2
    exit 1
fi
exec "$root/build/app/paperless-recorder" "$root/demo/demo.bin"
