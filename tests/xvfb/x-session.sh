# Shared by the scripts that drive the program in Xvfb (sourced, not run):
# the X server and window manager they start, the processes they end, and the
# polls on windows. The sourcing script sets `work` (its folder, removed at
# exit) and defines fail <message>.
xvfb_pid=
openbox_pid=
program_pid=

stop() {  # stop <pid>: ends a process this script started
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
}
cleanup() {
    stop "$program_pid"
    stop "$openbox_pid"
    stop "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT

# wait_for <seconds> <command...>: polls until the command succeeds.
wait_for() {
    local seconds=$1; shift
    local tries=$((seconds * 10))
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_visible_window() { [ -n "$(visible_window "$1")" ]; }
no_visible_window() { [ -z "$(visible_window "$1")" ]; }
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; }

# Starts Xvfb on a free display with openbox on it; exports DISPLAY.
start_x_session() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=:$(head -1 "$work/display")
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    openbox_pid=$!
    wait_for 20 wm_running || fail "openbox did not start"
}
