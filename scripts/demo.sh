#!/usr/bin/env bash
# Builds TarvelReset and tarvel-rebuild into build/, creates the embedded demo
# database with the two settings files next to build/bin/TarvelReset, and
# starts the window.
# Usage: scripts/demo.sh [--fresh]
#   An existing demo database is kept (it holds the history a run rebuilt);
#   --fresh creates it anew. TARVEL_BUILD_DIR names another build folder.
#   Runs as any user: no root, no group firebird.
#
# The embedded engine keeps its lock files in a lock folder, by default the
# package's /tmp/firebird, which is open only to root and group firebird. The
# demo database is opened by nothing but this demo, so the demo gives the
# engine a lock folder of its own beside the database, build/bin/demo/lock
# (FIREBIRD_LOCK), for creating it and for the window. Never do that for a
# database other programs or a server open too: engines with different lock
# folders do not see each other's locks, and together they can corrupt it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVEL_BUILD_DIR:-$root/build}
bin=$build/bin

cmake -S "$root" -B "$build" -G Ninja >/dev/null
ninja -C "$build" TarvelReset tarvel-rebuild tarvel_demo_data

lock=$bin/demo/lock
mkdir -p "$lock"
chmod 700 "$lock"
export FIREBIRD_LOCK=$lock

if [ "${1:-}" = "--fresh" ] || [ ! -f "$bin/demo/pos-demo.fdb" ] || [ ! -f "$bin/sqlconnections.ini" ]; then
    echo "Creating the demo database (about half a minute)..."
    "$root/demo/create-demo.sh" "$bin"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo.sh: no display to open the window on (DISPLAY is not set)" >&2
    echo "demo.sh: the rebuild without a window, on the demo database:" >&2
    echo "    FIREBIRD_LOCK=$lock $bin/tarvel-rebuild purchase --yes" >&2
    exit 1
fi
exec "$bin/TarvelReset"
