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
xvfb_pid=
openbox_pid=
demo_pid=
stop() {  # stop <pid>: ends a process this script started
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$1" 2>/dev/null || true
}
cleanup() { stop "$demo_pid"; stop "$openbox_pid"; stop "$xvfb_pid"; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "demo check: FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }
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
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")
openbox --sm-disable >"$work/openbox.log" 2>&1 &
openbox_pid=$!
for _ in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
"$root/scripts/demo.sh" >"$work/window.log" 2>&1 &
demo_pid=$!
window=
for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^FormTarvelReset$' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$window" ] || fail "the window did not open: $(cat "$work/window.log")"
# demo.sh runs the program in its own place (exec), with the demo's lock folder.
tr '\0' '\n' <"/proc/$demo_pid/environ" | grep -x "FIREBIRD_LOCK=$lock" >/dev/null ||
    fail "the window does not have FIREBIRD_LOCK=$lock"
xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
for _ in $(seq 100); do kill -0 "$demo_pid" 2>/dev/null || break; sleep 0.1; done
code=0
wait "$demo_pid" || code=$?
demo_pid=
[ "$code" = 0 ] || fail "exit code $code after closing the window: $(cat "$work/window.log")"
echo "   window opened with the demo's lock folder, closed, exit code 0"
echo "PASS"
