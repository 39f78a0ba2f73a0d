#!/usr/bin/env bash
# TarvelReset ended by SIGTERM, SIGINT and SIGHUP in a real X server, with the
# database embedded and over a server of the test's own: idle after a
# completed run, and in the middle of a run. Each time the program must exit
# by itself with 128 + the signal (not die of it, not crash, not ignore it),
# and the history table must be whole: a pair holds one row, or the rows it
# held before when the run did not reach it; no pair that had a row lost it. Also: Qt's command-line options change nothing.
# Usage: signals-end-to-end.sh <folder of TarvelReset> <demo folder> <tests folder>
set -euo pipefail

bin=$(cd "$1" && pwd)
demo=$(cd "$2" && pwd)
tests=$(cd "$3" && pwd)
port=3072
# The SYSDBA password the private server's security database is made with.
password=${TARVEL_FB_PASSWORD:-tarvel-test}

work=$(mktemp -d /tmp/tarvel-signals.XXXXXX)
chmod 755 "$work"
cat "$tests/lsan.supp" "$tests/xvfb/lsan-desktop.supp" > "$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp:use_tls=0"
xvfb_pid=
openbox_pid=
runner_pid=
holder_pid=

cleanup() {
    [ -n "$holder_pid" ] && kill "$holder_pid" 2>/dev/null || true
    [ -n "$runner_pid" ] && kill -9 "$(cat "$work/program.pid" 2>/dev/null)" 2>/dev/null || true
    [ -f "$work/server/server.pid" ] && "$tests/support/private-fbserver.sh" kill "$work/server" || true
    for pid in $openbox_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" >&2
    exit 1
}
wait_for() {  # wait_for <seconds> <command...>
    local tries=$(($1 * 10)); shift
    for _ in $(seq "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; }
visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_visible_window() { [ -n "$(visible_window "$1")" ]; }
no_visible_window() { [ -z "$(visible_window "$1")" ]; }
press_in() {  # press_in <title> <keys...>
    local box; box=$(visible_window "$1"); shift
    [ -n "$box" ] || fail "no box to press keys in"
    xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$@"
}
click_at() {  # click_at <x> <y> in the main window's client area
    # From elsewhere: a new window under a pointer that does not move may
    # take the click as no press on its control.
    xdotool mousemove 0 0
    xdotool mousemove --window "$(visible_window '^FormTarvelReset$')" "$1" "$2" click 1
}
isql() {  # isql <database> <sql>
    printf "CONNECT '%s' USER 'SYSDBA' PASSWORD '%s';\nSET LIST ON;\n%s\n" "$1" "$2" "$3" > "$work/query.sql"
    isql-fb -q -b -ch NONE -i "$work/query.sql"
}

# Starts the program through a small runner that records how it ended: "exit
# N" or "signal N" (perl, as the shell reports both alike). The program gets
# the stop signals at their default, as from a desktop or a terminal: a
# background job of this script would have SIGINT ignored, and a signal
# ignored at start stays ignored. IGNORED names signals to start it with
# ignored instead, as nohup does.
# Points $work/config (the programs' XDG_CONFIG_HOME) at a settings folder.
use_settings() {  # use_settings <settings folder>
    mkdir -p "$work/config/kestal"
    printf '[Software\\Kestal\\SQLAccess]\nConnection Registry File=%s/sqlconnections.ini\nDriver Registry File=%s/sqldrivers.ini\n' \
        "$1" "$1" > "$work/config/kestal/settings.ini"
}
start_program() {  # start_program <settings folder> [arguments...]
    local settings=$1; shift
    use_settings "$settings"
    rm -f "$work/ended" "$work/program.pid"
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime LC_ALL=en_US.UTF-8 perl -e '
        my ($pidfile, $endfile, @command) = @ARGV;
        my $pid = fork() // die "fork: $!";
        if ($pid == 0) {
            $SIG{$_} = "DEFAULT" for qw(INT TERM HUP);
            $SIG{$_} = "IGNORE" for split(" ", $ENV{IGNORED} // "");
            exec(@command) or die "exec: $!";
        }
        open(my $p, ">", $pidfile) or die; print $p "$pid\n"; close($p);
        waitpid($pid, 0);
        my $how = ($? & 127) ? "signal " . ($? & 127) . (($? & 128) ? " core" : "") : "exit " . ($? >> 8);
        open(my $e, ">", $endfile) or die; print $e "$how\n"; close($e);
    ' "$work/program.pid" "$work/ended" "$bin/${PROGRAM:-TarvelReset}" "$@" >"$work/program.log" 2>&1 &
    runner_pid=$!
    [ -n "${PROGRAM:-}" ] && return 0
    wait_for 60 has_visible_window '^FormTarvelReset$' || fail "the main window did not open"
}
# The command line's run, with the same runner: tarvel-rebuild purchase --yes.
start_command() {  # start_command <settings folder>
    PROGRAM=tarvel-rebuild start_program "$1" purchase --yes
    wait_for 10 test -s "$work/program.pid" || fail "the command line did not start"
}
# The main window is framed by the window manager, centred on the screen and
# active: clicks reach its controls. Once framed, the program fits its outer
# size and centres itself again; a click placed before that can miss.
window_ready() {
    local window; window=$(visible_window '^FormTarvelReset$')
    [ -n "$window" ] && xprop -id "$window" _NET_FRAME_EXTENTS | grep -q '=' &&
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] || return 1
    local x y w h left right top bottom
    read -r x y w h < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $4 }
        /Absolute upper-left Y/ { y = $4 } /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')
    read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    # The frame's centre is the screen's (1024x768), within a pixel.
    local dx=$((2 * (x - left) + w + left + right - 1024)) dy=$((2 * (y - top) + h + top + bottom - 768))
    [ "${dx#-}" -le 1 ] && [ "${dy#-}" -le 1 ]
}
# Chooses the purchase history, presses the reset button and answers Yes.
start_run() {
    wait_for 30 window_ready || fail "the main window was not framed and active"
    click_at 39 40
    click_at 112 86
    wait_for 10 has_visible_window '^Confirm$' || fail "no confirmation box"
    press_in '^Confirm$' y
    wait_for 10 no_visible_window '^Confirm$' || fail "the confirmation box did not close"
}
# Sends the signal and checks that the program ended by itself with 128 + it.
end_with() {  # end_with <signal name> <what>
    local number; number=$(kill -l "$1")
    local sent; sent=$(date +%s%N)
    kill "-$1" "$(cat "$work/program.pid")"
    wait_for 60 test -s "$work/ended" || fail "$2: SIG$1 did not end the program within 60 s"
    local took=$((($(date +%s%N) - sent) / 1000000))
    [ -z "${WITHIN_MS:-}" ] || [ "$took" -le "$WITHIN_MS" ] || fail "$2: SIG$1 took $took ms to end the program"
    wait "$runner_pid" || true
    runner_pid=
    local ended; ended=$(cat "$work/ended")
    [ "$ended" = "exit $((128 + number))" ] || fail "$2: SIG$1 ended the program with '$ended', not exit $((128 + number))"
    echo "   $2: SIG$1 -> $ended after $took ms"
}
# A pair holds one row or, when the run did not reach it, the rows it held
# before; every pair that held a row before still does.
check_whole() {  # check_whole <database> <password> <what>
    local result
    result=$(isql "$1" "$2" "SELECT (SELECT COUNT(*) FROM (SELECT PROVIDER_ID, TEMPPRODID FROM STORY_IN h GROUP BY 1, 2
        HAVING COUNT(*) > 1 AND COUNT(*) <> COALESCE((SELECT p.ROWS_BEFORE FROM PAIRS_BEFORE p
        WHERE p.PROVIDER_ID = h.PROVIDER_ID AND p.TEMPPRODID = h.TEMPPRODID), 0))) AS DOUBLED, (SELECT COUNT(*) FROM PAIRS_BEFORE p WHERE NOT EXISTS (SELECT 1 FROM STORY_IN h
        WHERE h.PROVIDER_ID = p.PROVIDER_ID AND h.TEMPPRODID = p.TEMPPRODID)) AS LOST FROM RDB\$DATABASE;")
    echo "$result" | grep -Eq '^DOUBLED +0$' || fail "$3: pairs with two rows: $result"
    echo "$result" | grep -Eq '^LOST +0$' || fail "$3: pairs that lost their row: $result"
}

echo "-- X server, window manager, databases"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")
openbox --sm-disable >"$work/openbox.log" 2>&1 &
openbox_pid=$!
wait_for 60 wm_running || fail "openbox did not start"
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
"$demo/create-demo.sh" "$bin" "$work/demo" "$work/demo" >/dev/null; echo "   demo ready"
# A large database for runs that are stopped, a small one for runs that end.
for size in large small; do
    for access in embedded server; do
        db=$work/$access-$size.fdb
        cp "$work/demo/pos-demo.fdb" "$db"
        chmod a+rw "$db"
        isql "$db" demo "CREATE TABLE PAIRS_BEFORE (PROVIDER_ID VARCHAR(10), TEMPPRODID VARCHAR(12), ROWS_BEFORE INTEGER);
            COMMIT; INSERT INTO PAIRS_BEFORE SELECT PROVIDER_ID, TEMPPRODID, COUNT(*) FROM STORY_IN GROUP BY 1, 2;
            COMMIT;" >/dev/null
        [ "$size" = small ] && isql "$db" demo "DELETE FROM INSTORAGE_SUB WHERE PROVIDER_ID <>
            (SELECT MIN(PROVIDER_ID) FROM INSTORAGE_SUB); COMMIT;" >/dev/null
        # Ten times the demo's lines, each copy a year earlier, so that a run
        # still goes on a second after it started (one takes some seconds).
        [ "$size" = large ] && isql "$db" demo "CREATE TABLE COPIES (N SMALLINT); COMMIT;
            $(for n in 1 2 3 4 5 6 7 8 9; do echo "INSERT INTO COPIES VALUES ($n);"; done)
            INSERT INTO INSTORAGE_SUB SELECT s.BILL_NO, s.ITEM_NO + 100 * c.N, s.PROVIDER_ID, s.PROD_ID, s.TEMPPRODID,
                s.PROD_BARCODE, s.QTY, s.B_PRICE, s.SALE_PRICE, s.U_DIS, DATEADD(-c.N YEAR TO s.BILL_DATE)
            FROM INSTORAGE_SUB s CROSS JOIN COPIES c; COMMIT;" >/dev/null
        mkdir -p "$work/settings-$access-$size"
        cp "$work/demo/sqldrivers.ini" "$work/settings-$access-$size/"
        target=$db login=demo
        [ "$access" = server ] && target=127.0.0.1/$port:$db login=$password
        sed -e "s|^Database=.*|Database=$target|" -e "s|^Password=.*|Password=$login|" "$work/demo/sqlconnections.ini" \
            > "$work/settings-$access-$size/sqlconnections.ini"
    done
done
"$tests/support/private-fbserver.sh" start "$work/server" "$port" >/dev/null || fail "the private server did not start"

echo "-- Qt's own options are ignored"
start_program "$work/settings-embedded-small" -qwindowtitle Other -qwindowgeometry 300x200+5+5 -platform offscreen
has_visible_window '^Other$' && fail "-qwindowtitle changed the caption"
width=$(xwininfo -id "$(visible_window '^FormTarvelReset$')" | awk '/Width:/ { print $2 }')
[ "$width" != 300 ] || fail "-qwindowgeometry changed the size"
end_with TERM "arguments given"

echo "-- started with SIGHUP ignored (nohup)"
IGNORED=HUP start_program "$work/settings-embedded-large"
start_run
kill -HUP "$(cat "$work/program.pid")"
sleep 1
[ -s "$work/ended" ] && fail "SIGHUP ended a program that was started with it ignored"
end_with TERM "SIGHUP ignored, in the middle of a run"
check_whole "$work/embedded-large.fdb" demo "SIGTERM after an ignored SIGHUP"

for access in embedded server; do
    database=$work/$access-large.fdb login=demo
    [ "$access" = server ] && database=127.0.0.1/$port:$database login=$password
    for signal in TERM INT HUP; do
        echo "-- $access, SIG$signal"
        start_program "$work/settings-$access-small"
        start_run
        wait_for 120 has_visible_window '^Tarvelreset$' || fail "no completion box"
        press_in '^Tarvelreset$' Return
        wait_for 10 no_visible_window '^Tarvelreset$' || fail "the completion box did not close"
        end_with "$signal" "idle after a run"

        start_program "$work/settings-$access-large"
        start_run
        sleep 1
        no_visible_window '^Tarvelreset$' || fail "the run ended before the signal; the database is too small"
        end_with "$signal" "in the middle of a run"
        check_whole "$database" "$login" "$access, SIG$signal in the middle of a run"
    done
done
# A transaction of another program that holds the one row every line's
# INSERT also updates (through a trigger): the run waits on it.
hold_lock_row() {  # hold_lock_row <database>
    mkfifo "$work/holder.in"
    isql-fb -q -ch NONE < "$work/holder.in" > "$work/holder.log" 2>&1 &
    holder_pid=$!
    exec 7>"$work/holder.in"
    printf "CONNECT '%s' USER 'SYSDBA' PASSWORD '%s';\nUPDATE LOCK_ROW SET N = N + 1;\n" "$1" "$password" >&7
    # The holder's isql takes its time on a busy machine: the run starts
    # only once the row is held, or it may finish before the holder updates.
    wait_for 30 lock_row_held "$1" || fail "the holder did not take the row: $(cat "$work/holder.log")"
}
lock_row_held() {  # lock_row_held <database>: true while another transaction holds LOCK_ROW
    local said  # the update fails (isql exits 1) exactly when the row is held
    said=$(isql "$1" "$password" "SET TRANSACTION NO WAIT; UPDATE LOCK_ROW SET N = N + 1; ROLLBACK;" 2>&1) || true
    grep -Eq "lock conflict|update conflicts|deadlock" <<<"$said"
}
release_lock_row() {
    echo "ROLLBACK; QUIT;" >&7
    exec 7>&-
    wait "$holder_pid" || true
    rm -f "$work/holder.in"
}

echo "-- both programs: a stop signal while a statement waits for a lock"
db=$work/server-small.fdb
served=127.0.0.1/$port:$db
isql "$served" "$password" "CREATE TABLE LOCK_ROW (N INTEGER); COMMIT; INSERT INTO LOCK_ROW VALUES (0); COMMIT;
    SET TERM ^; CREATE TRIGGER STORY_IN_WAITS FOR STORY_IN AFTER INSERT AS BEGIN UPDATE LOCK_ROW SET N = N + 1; END^
    SET TERM ;^ COMMIT;" >/dev/null
for program in window command; do
    for signal in TERM INT; do
        hold_lock_row "$served"
        if [ $program = window ]; then
            start_program "$work/settings-server-small"
            start_run
        else
            start_command "$work/settings-server-small"
        fi
        sleep 2
        [ -s "$work/ended" ] && fail "$program: the run did not wait for the held row"
        WITHIN_MS=5000 end_with "$signal" "$program, waiting for a lock"
        release_lock_row
        check_whole "$served" "$password" "$program, SIG$signal during a lock wait"
    done
done
isql "$served" "$password" "DROP TRIGGER STORY_IN_WAITS; COMMIT;" >/dev/null

echo "-- two runs of one history table at once"
# Started together: one runs, the other is refused at its start.
use_settings "$work/settings-server-large"
for round in 1 2 3; do
    pids=()
    for n in 1 2; do
        mkdir -p "$work/pair$n"
        XDG_CONFIG_HOME=$work/config "$bin/tarvel-rebuild" purchase --yes >"$work/pair$n/out" 2>&1 &
        pids+=($!)
    done
    for n in 1 2; do
        code=0
        wait "${pids[$((n - 1))]}" || code=$?
        echo "$code" > "$work/pair$n/code"
    done
    codes=$(cat "$work/pair1/code" "$work/pair2/code" | sort | tr '\n' ' ')
    [ "$codes" = "0 1 " ] || fail "two runs started together ended with $codes: $(cat "$work"/pair*/out)"
    grep -h "STORY_IN is being rebuilt by another run" "$work"/pair*/out >/dev/null ||
        fail "the refused run does not say why: $(cat "$work"/pair*/out)"
done
echo "   started together, three times: one rebuilt, one refused"
# The window in the middle of a run; the command line then started is refused.
start_program "$work/settings-server-large"
start_run
# The window's claim is on: its attachment carries the claim's mark.
claim_marked() {
    isql "127.0.0.1/$port:$work/server-large.fdb" "$password" "SELECT COUNT(*) AS MARKS FROM MON\$CONTEXT_VARIABLES
        WHERE MON\$VARIABLE_NAME = 'TARVEL_RUN_CLAIM';" | grep -Eq '^MARKS +1$'
}
wait_for 30 claim_marked || fail "the window's run did not claim STORY_IN"
refused=$(XDG_CONFIG_HOME=$work/config "$bin/tarvel-rebuild" purchase --yes 2>&1) && fail "a second run was not refused"
echo "$refused" | grep -q "STORY_IN is being rebuilt by another run (TarvelReset, process $(cat "$work/program.pid")" ||
    fail "the refusal does not name the window's run: $refused"
echo "   second run refused: $(echo "$refused" | tail -1)"
end_with TERM "the window, after a second run was refused"

echo "-- the command line: a stop signal after the run's last line"
# Sent once the completion line is out: the run's result stands (exit 0).
use_settings "$work/settings-server-small"
for n in 1 2 3; do
    XDG_CONFIG_HOME=$work/config perl -e '
        my $pid = open(my $out, "-|", @ARGV) // die "fork: $!";
        while (my $line = <$out>) { kill "TERM", $pid if $line =~ /階段作業完成/; }
        close($out); exit($? >> 8 | ($? & 127 ? 200 : 0));
    ' "$bin/tarvel-rebuild" purchase --yes 2>/dev/null || fail "a SIGTERM after the completion line changed the exit: $?"
done
echo "   completed runs kept exit 0"

echo "PASS"
