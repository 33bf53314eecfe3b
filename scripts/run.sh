#!/usr/bin/env bash
# Installs what is missing, builds diVE and starts it. Only the program and the loopback device
# are built (in build/, where the tests are built too); scripts/test.sh builds the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build --target dive --target dive-loopback
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting diVE on a virtual X display (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x800x24" build/dive
fi
exec build/dive
