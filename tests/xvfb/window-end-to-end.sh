#!/usr/bin/env bash
# TarvelReset end to end in a real X server, driven like a person would:
#  1. choose 進貨歷史, press 重置, copy the question with Ctrl+C, answer Yes,
#     wait for the completion box, close the window: exit code 0, and the
#     purchase history in the database is what the document lines give;
#  2. with the named-connection file missing, the run ends in the error box
#     (its text read back through Ctrl+C and the clipboard); once the file is
#     there, the same window runs the sales history to its end.
# Usage: window-end-to-end.sh <folder of TarvelReset> <demo folder> <artefact folder>
# A screenshot of the window in the middle of a run is kept in the artefact
# folder (mid-run.png), and one of the screen at a failure (failure.png).
set -euo pipefail

bin=$(cd "$1" && pwd)
demo=$(cd "$2" && pwd)
artifacts=$3
mkdir -p "$artifacts"
artifacts=$(cd "$artifacts" && pwd)

work=$(mktemp -d /tmp/tarvel-xvfb.XXXXXX)
chmod 755 "$work"
# In a sanitizer build the program also reports what the desktop libraries
# keep until exit; those are not the program's leaks.
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/history-check.sh
. "$here/../support/history-check.sh"
cat "$here/../lsan.supp" "$here/lsan-desktop.supp" > "$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp:use_tls=0"
. "$here/x-session.sh"
# shellcheck source=../support/window-icon.sh
. "$here/../support/window-icon.sh"

screenshot() { import -window root "$1" 2>/dev/null || true; }

# The outer rectangle of a window, frame included: "left top width height".
frame_rect() {  # frame_rect <window>
    local x y w h l r t b
    read -r x y w h < <(xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    echo "$((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))"
}
# A picture of the screen cut to the main window and its frame.
window_shot() {  # window_shot <window> <file>
    local left top width height
    read -r left top width height < <(frame_rect "$1")
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$2" 2>/dev/null || true
}
fail() {
    echo "FAIL: $*" >&2
    screenshot "$artifacts/failure.png"
    [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" >&2
    exit 1
}
step() { echo "-- $*"; }

clipboard() { xclip -o -selection clipboard; }

# The text a box's Ctrl+C puts on the clipboard: every line ends in CR LF.
box_block() {  # box_block <caption> <message> <button line>
    local divider='---------------------------'
    printf '%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n' "$divider" "$1" "$divider" "$2" "$divider" "$3" "$divider"
}
expect_clipboard() {  # expect_clipboard <expected file> <what>
    clipboard > "$work/clipboard"
    cmp -s "$1" "$work/clipboard" || {
        echo "expected:" >&2; od -c "$1" | head -20 >&2
        echo "got:" >&2; od -c "$work/clipboard" | head -20 >&2
        fail "$2: the copied text differs"
    }
}

# Presses keys in the box with that title once it is the active window.
press_in() {  # press_in <title> <keys...>
    local title=$1; shift
    local box
    box=$(visible_window "$title")
    [ -n "$box" ] || fail "no box '$title'"
    xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$@"
}

# Clicks at a point of the main window's client area.
click_at() {  # click_at <x> <y>
    local window
    window=$(visible_window '^FormTarvelReset$')
    [ -n "$window" ] || fail "the main window is not shown"
    xdotool mousemove --window "$window" "$1" "$2" click 1
}
# Centres of the controls, in client coordinates at 96 pixels per inch.
click_item() { click_at $((11 + 8 + 90 * $1 + 20)) $((7 + 14 + 19)); }
click_reset() { click_at $((56 + 56)) $((71 + 15)); }

start_program() {
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime LC_ALL=en_US.UTF-8 \
        "$bin/TarvelReset" >"$work/program.log" 2>&1 &
    program_pid=$!
    wait_for 20 has_visible_window '^FormTarvelReset$' || fail "the main window did not open"
}
close_program() {  # closes the main window with Alt+F4 and checks the exit code
    press_in '^FormTarvelReset$' alt+F4
    local code=0
    for _ in $(seq 300); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after its window was closed"
    wait "$program_pid" || code=$?
    program_pid=
    [ "$code" = 0 ] || fail "exit code $code after closing the window"
    echo "   exit code 0"
}
wait_for_completion() {  # waits for the completion box and checks its text
    wait_for 600 has_visible_window '^Tarvelreset$' || fail "no completion box"
    box_block Tarvelreset "階段作業完成" "OK   " > "$work/expected"
    press_in '^Tarvelreset$' ctrl+c
    expect_clipboard "$work/expected" "completion box"
    press_in '^Tarvelreset$' Return
    wait_for 10 no_visible_window '^Tarvelreset$' || fail "the completion box did not close"
}

step "X server and window manager"
start_x_session

step "demo database"
mkdir -p "$work/db" "$work/settings" "$work/config/kestal" "$work/runtime"
chmod 700 "$work/runtime"
"$demo/create-demo.sh" "$bin" "$work/db" "$work/settings" >/dev/null
db=$work/db/pos-demo.fdb
cat > "$work/config/kestal/settings.ini" <<INI
[Software\\Kestal\\SQLAccess]
Connection Registry File=$work/settings/sqlconnections.ini
Driver Registry File=$work/settings/sqldrivers.ini
INI
snapshot_history "$db" STORY_IN PROVIDER_ID STD_COST

step "purchase history, answered Yes"
start_program
main=$(visible_window '^FormTarvelReset$')
xprop -id "$main" WM_ICON_NAME | grep -q '"Tarvelreset"' || fail "the icon name is not the application title"
xprop -id "$main" WM_CLASS | grep -q '"Tarvelreset"' || fail "the window class is not the application title"
# Not installed, so no icon theme holds its icon: the built-in one.
expect_icon "$main" 32x32 "the window has not the built-in icon"
screen=$(xdpyinfo | awk '/dimensions:/ { print $2 }')
centred="$(( (${screen%x*} - 243) / 2 )) $(( (${screen#*x} - 164) / 2 )) 243 164"
# The window manager frames the window after it is mapped; the program then
# fits its outer size and places it again.
placed() { [ "$(frame_rect "$main")" = "$centred" ]; }
wait_for 10 placed || fail "window at $(frame_rect "$main") (left top width height), expected $centred"
read -r left top width height < <(frame_rect "$main")
echo "   outer size 243x164, centred at $left,$top"
click_item 0
click_reset
wait_for 10 has_visible_window '^Confirm$' || fail "no confirmation box"
box_block Confirm "確定重置所有歷史資料?" "Yes   No   " > "$work/expected"
press_in '^Confirm$' ctrl+c
expect_clipboard "$work/expected" "confirmation box"
press_in '^Confirm$' y
wait_for 10 no_visible_window '^Confirm$' || fail "the confirmation box did not close"
# Pictures of the window every half second until the completion box opens;
# the middle one shows the bar on its way.
mkdir -p "$work/shots"
shots=0
while no_visible_window '^Tarvelreset$' && [ "$shots" -lt 1200 ]; do
    shots=$((shots + 1))
    window_shot "$main" "$work/shots/$(printf %04d "$shots").png"
    sleep 0.5
done
[ "$shots" -gt 0 ] && cp "$work/shots/$(printf %04d $(( (shots + 1) / 2 ))).png" "$artifacts/mid-run.png"
wait_for_completion
close_program
check_history "$db" INSTORAGE_SUB STORY_IN PROVIDER_ID STD_COST

step "missing named-connection file, then the sales history"
isql "$db" "DROP TABLE HISTORY_BEFORE; COMMIT;" >/dev/null
snapshot_history "$db" STORY_SAL CUST_ID U_PRICE
mv "$work/settings/sqlconnections.ini" "$work/settings/kept.ini"
start_program
click_item 1
click_reset
wait_for 10 has_visible_window '^Confirm$' || fail "no confirmation box"
press_in '^Confirm$' Return
wait_for 30 has_visible_window '^Tarvelreset$' || fail "no error box"
box_block Tarvelreset "Driver/Connection Registry File '$work/settings/sqlconnections.ini' not found." "OK   " \
    > "$work/expected"
press_in '^Tarvelreset$' ctrl+c
expect_clipboard "$work/expected" "error box"
press_in '^Tarvelreset$' Return
wait_for 10 no_visible_window '^Tarvelreset$' || fail "the error box did not close"
echo "   error box shown and copied"
mv "$work/settings/kept.ini" "$work/settings/sqlconnections.ini"
click_reset
wait_for 10 has_visible_window '^Confirm$' || fail "no confirmation box after the error"
press_in '^Confirm$' alt+y
wait_for_completion
close_program
check_history "$db" SAL_SUB STORY_SAL CUST_ID U_PRICE

echo "PASS"
