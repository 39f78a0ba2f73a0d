#!/usr/bin/env bash
# The purchase-history rebuild in the real window under Xvfb, against the same
# rebuild run headless by tarvel_bench, each on a fresh copy of one database,
# `runs` pairs, the order changing from pair to pair; prints the lines per second of every run,
# the ratio of the best runs and the median of the ratios pair by pair.
# Usage: bench/window-run.sh <folder of TarvelReset and tarvel_bench> <database file> [runs]
#   The window's time runs from the answer Yes to the completion box being
#   mapped (its MapNotify, seen with xev; polled every second as a fallback);
#   the headless time from the start of the reset command to its end. Both
#   include the connection's opening. The CPU time of each process
#   (user and system, its start-up and end included) is the figure least moved
#   by other work on the machine. Embedded access, forced writes
#   as the database file has them.
set -euo pipefail

bin=$(cd "$1" && pwd)
source_db=$2
runs=${3:-2}
password=${TARVEL_FB_PASSWORD:-tarvel-test}

work=$(mktemp -d /tmp/tarvel-window-run.XXXXXX)
chmod 755 "$work"
. "$(cd "$(dirname "$0")" && pwd)/../tests/xvfb/x-session.sh"
fail() { echo "window-run.sh: $*" >&2; [ -f "$work/program.log" ] && cat "$work/program.log" >&2; exit 1; }

press_in() {  # press_in <title> <keys...>
    local title=$1 box; shift
    box=$(visible_window "$title")
    [ -n "$box" ] || fail "no box '$title'"
    xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$@"
}
click_at() {  # client coordinates of the main window at 96 pixels per inch
    xdotool mousemove --window "$(visible_window '^FormTarvelReset$')" "$1" "$2" click 1
}
now() { echo "$EPOCHREALTIME"; }
# Writes the time at which the next top-level window is mapped (the X server's
# MapNotify on the root window, as xev reports it) to the file $1: the end of a
# run without the delay of polling for the box.
watch_next_map() {
    : >"$1"
    { stdbuf -oL xev -root -event substructure 2>/dev/null & echo $! >"$1.xev"; wait; } |
        while IFS= read -r event; do
            case $event in MapNotify*) now >"$1"; break ;; esac
        done
}

start_x_session

mkdir -p "$work/settings" "$work/config/kestal" "$work/runtime" "$work/headless"
chmod 700 "$work/runtime"
cat > "$work/settings/sqlconnections.ini" <<INI
[Kestal]
DriverName=Firebird
Database=$work/window.fdb
User_Name=SYSDBA
Password=$password
SQLDialect=3
BlobSize=-1
CommitRetain=False
WaitOnLocks=True
Firebird TransIsolation=ReadCommited
Trim Char=False
INI
cat > "$work/settings/sqldrivers.ini" <<INI
[Firebird]
LibraryName=libfbsqldrv.so
GetDriverFunc=GetFirebirdDriver
VendorLib=libfbclient.so.2
INI
cat > "$work/config/kestal/settings.ini" <<INI
[Software\\Kestal\\SQLAccess]
Connection Registry File=$work/settings/sqlconnections.ini
Driver Registry File=$work/settings/sqldrivers.ini
INI

headless_run() {  # sets lines and seconds
    cp "$source_db" "$work/headless.fdb"
    /usr/bin/time -f "%U %S" -o "$work/cpu" "$bin/tarvel_bench_program" --database "$work/headless.fdb" \
        --folder "$work/headless" --result "$work/result" || fail "the headless run failed"
    cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$work/cpu")
    rm -f "$work/headless.fdb"
    read -r lines seconds < <(awk '$1 == "lines" { l = $2 } $1 == "seconds" { s = $2 } END { print l, s }' "$work/result")
}
window_run() {  # sets seconds
    cp "$source_db" "$work/window.fdb"
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime LC_ALL=en_US.UTF-8 \
        /usr/bin/time -f "%U %S" -o "$work/cpu" "$bin/TarvelReset" >"$work/program.log" 2>&1 &
    program_pid=$!
    wait_for 20 has_visible_window '^FormTarvelReset$' || fail "the main window did not open"
    sleep 1
    click_at $((11 + 8 + 20)) $((7 + 14 + 19))
    click_at $((56 + 56)) $((71 + 15))
    wait_for 10 has_visible_window '^Confirm$' || fail "no confirmation box"
    watch_next_map "$work/mapped" &
    local watch_pid=$!
    sleep 0.5
    press_in '^Confirm$' y
    local start end
    start=$(now)
    while ! has_visible_window '^Tarvelreset$'; do
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended during the run"
        sleep 1  # the end comes from xev; polling often would take the second core from the run
    done
    end=$(now)
    kill "$(cat "$work/mapped.xev")" 2>/dev/null || true
    wait "$watch_pid" || true
    # The box's MapNotify when xev saw it; the polled time otherwise.
    [ -s "$work/mapped" ] && end=$(cat "$work/mapped")
    # The error box has the same title: only the completion message counts.
    press_in '^Tarvelreset$' ctrl+c
    sleep 0.3
    xclip -o -selection clipboard | grep -q "階段作業完成" || fail "the run ended in an error: $(xclip -o -selection clipboard)"
    press_in '^Tarvelreset$' Return
    sleep 0.5
    press_in '^FormTarvelReset$' alt+F4
    wait "$program_pid" || fail "the program ended with status $?"
    program_pid=
    cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$work/cpu")
    rm -f "$work/window.fdb"
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
}

headless_times=()
window_times=()
report() {  # report <run> <kind> <lines> <seconds> <cpu>
    awk -v r="$1" -v k="$2" -v l="$3" -v s="$4" -v c="$5" \
        'BEGIN { printf "run %d %-9s %d lines in %.2f s, %.0f lines/s; process CPU %.2f s\n", r, k ":", l, s, l / s, c }'
}
one_headless() { headless_run; headless_times+=("$seconds"); report "$1" headless "$lines" "$seconds" "$cpu"; }
one_window() { window_run; window_times+=("$seconds"); report "$1" window "$lines" "$seconds" "$cpu"; }
# The order changes from pair to pair: on this kind of machine a run right
# after a pause is faster than the one that follows it.
for run in $(seq "$runs"); do
    if [ $((run % 2)) = 1 ]; then
        one_headless "$run"
        one_window "$run"
    else
        one_window "$run"
        one_headless "$run"
    fi
done
min() { printf '%s\n' "$@" | sort -g | head -1; }
awk -v n="$runs" -v l="$lines" -v h="$(min "${headless_times[@]}")" -v w="$(min "${window_times[@]}")" 'BEGIN {
    printf "best of %d: headless %.0f lines/s, window %.0f lines/s; window/headless %.3f\n", n, l / h, l / w, h / w }'
# Each window run against the headless run just before it: a slow spell of
# the machine mostly falls on one pair, and the median of the pairs leaves it out.
ratios=()
for i in "${!window_times[@]}"; do
    ratios+=("$(awk -v h="${headless_times[$i]}" -v w="${window_times[$i]}" 'BEGIN { printf "%.3f", h / w }')")
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ r[NR] = $1 } END { print (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2 }')
echo "window/headless run by run: ${ratios[*]}; median $median"

