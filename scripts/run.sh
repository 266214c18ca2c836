#!/usr/bin/env bash
# Builds the program (installing missing Debian packages first) and opens the bundled demo
# recording. Until the desktop program exists, prints the recording's summary instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build"
demo="$root/demo/demo.bin"
app="$root/build/app/paperless-recorder"
if [ -x "$app" ]; then
    exec "$app" "$demo"
fi
exec "$root/build/tools/cli/paperless-recorder-tool" info "$demo"
