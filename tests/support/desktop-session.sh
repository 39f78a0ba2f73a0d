# Sourced by the scripts that open the window program in a private X server
# (the demo check, the package test). Needs $work (a scratch folder) and
# fail(); the caller's cleanup stops $window_pid, $openbox_pid and $xvfb_pid.
xvfb_pid=
openbox_pid=
window_pid=

stop() {  # stop <pid>: ends a process the script started
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$1" 2>/dev/null || true
}

# Xvfb and openbox; DISPLAY names the new screen.
start_desktop() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=:$(head -1 "$work/display")
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    openbox_pid=$!
    for _ in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
}

# open_window <log> <command...>: starts the command in the background
# ($window_pid) and sets $window once its main window shows, within 60 s;
# fails with the log when it does not.
open_window() {
    local log=$1; shift
    "$@" >"$log" 2>&1 &
    window_pid=$!
    window=
    for _ in $(seq 600); do
        window=$(xdotool search --onlyvisible --name '^FormTarvelReset$' 2>/dev/null | head -1 || true)
        [ -n "$window" ] && return 0
        kill -0 "$window_pid" 2>/dev/null || break
        sleep 0.1
    done
    fail "the window did not open: $(cat "$log")"
}

# close_window <log>: closes $window as a person would (Alt+F4) and fails
# unless the program then ends with exit code 0. A window the window manager
# has not taken in yet lets the first press go by (seen on a busy machine):
# a person presses again, and so does this, every 2 s for 20 s.
close_window() {
    for _ in $(seq 10); do
        xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 2>/dev/null || true
        for _ in $(seq 20); do kill -0 "$window_pid" 2>/dev/null || break 2; sleep 0.1; done
    done
    if kill -0 "$window_pid" 2>/dev/null; then
        kill "$window_pid" 2>/dev/null || true
        fail "the window did not close on Alt+F4: $(cat "$1")"
    fi
    local code=0
    wait "$window_pid" || code=$?
    window_pid=
    [ "$code" = 0 ] || fail "exit code $code after closing the window: $(cat "$1")"
}
