#!/usr/bin/env bash
# The README's demo command, checked as the user who runs this script (in CI
# a user who is neither root nor in group firebird), after scripts/install.sh:
#  - scripts/demo.sh --fresh without a display builds, creates the demo
#    database embedded, says there is no display and exits 1;
#  - tarvel-rebuild purchase --yes, in the demo's lock folder, opens that
#    database embedded and rebuilds its STORY_IN, which is then checked
#    against the document lines;
#  - scripts/demo.sh under Xvfb opens the window, with the demo's lock folder
#    in its environment, and exits 0 when the window is closed.
# Usage: .ci/demo-check.sh        (prints PASS at the end)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${TARVEL_BUILD_DIR:-$root/build}/bin
db=$bin/demo/pos-demo.fdb
lock=$bin/demo/lock
work=$(mktemp -d /tmp/tarvel-demo-check.XXXXXX)
fail() { echo "demo check: FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }
# shellcheck source=../tests/support/desktop-session.sh
. "$root/tests/support/desktop-session.sh"
cleanup() { stop "$window_pid"; stop "$openbox_pid"; stop "$xvfb_pid"; rm -rf "$work"; }
trap cleanup EXIT
# shellcheck source=../tests/support/history-check.sh
. "$root/tests/support/history-check.sh"

echo "demo check as $(id -un) (uid $(id -u), groups: $(id -Gn))"

step "scripts/demo.sh --fresh without a display"
code=0
env -u DISPLAY -u WAYLAND_DISPLAY "$root/scripts/demo.sh" --fresh >"$work/demo.log" 2>&1 || code=$?
[ "$code" = 1 ] || { cat "$work/demo.log"; fail "exit code $code, expected 1 (no display)"; }
grep -q "no display to open the window on" "$work/demo.log" || { cat "$work/demo.log"; fail "no word of the display"; }
[ -f "$db" ] && [ -O "$db" ] || fail "$db was not created by $(id -un)"
[ -f "$bin/sqlconnections.ini" ] || fail "no settings file beside the program"
echo "   $(grep '^demo database:' "$work/demo.log")"

step "tarvel-rebuild purchase --yes on the demo database, embedded"
export FIREBIRD_LOCK=$lock
snapshot_history "$db" STORY_IN PROVIDER_ID STD_COST
code=0
"$bin/tarvel-rebuild" purchase --yes </dev/null >"$work/out" 2>"$work/err" || code=$?
[ "$code" = 0 ] || { cat "$work/err"; fail "exit code $code"; }
[ "$(cat "$work/out")" = "階段作業完成" ] || fail "standard output: $(cat "$work/out")"
check_history "$db" INSTORAGE_SUB STORY_IN PROVIDER_ID STD_COST
isql "$db" "DROP TABLE HISTORY_BEFORE; COMMIT;" >/dev/null
unset FIREBIRD_LOCK

step "scripts/demo.sh with a display (Xvfb)"
start_desktop
open_window "$work/window.log" "$root/scripts/demo.sh"
# demo.sh runs the program in its own place (exec), with the demo's lock folder.
tr '\0' '\n' <"/proc/$window_pid/environ" | grep -x "FIREBIRD_LOCK=$lock" >/dev/null ||
    fail "the window does not have FIREBIRD_LOCK=$lock"
close_window "$work/window.log"
echo "   window opened with the demo's lock folder, closed, exit code 0"
echo "PASS"
