#!/usr/bin/env bash
# Builds TarvelReset into build/, creates the embedded demo database with the
# two settings files next to build/bin/TarvelReset, and starts the window.
# Usage: scripts/demo.sh [--fresh]
#   An existing demo database is kept (it holds the history a run rebuilt);
#   --fresh creates it anew. TARVEL_BUILD_DIR names another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVEL_BUILD_DIR:-$root/build}
bin=$build/bin

cmake -S "$root" -B "$build" -G Ninja >/dev/null
ninja -C "$build" TarvelReset tarvel_demo_data

if [ "${1:-}" = "--fresh" ] || [ ! -f "$bin/demo/pos-demo.fdb" ] || [ ! -f "$bin/sqlconnections.ini" ]; then
    echo "Creating the demo database (about half a minute)..."
    "$root/demo/create-demo.sh" "$bin"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo.sh: no display to open the window on (DISPLAY is not set)" >&2
    exit 1
fi
exec "$bin/TarvelReset"
