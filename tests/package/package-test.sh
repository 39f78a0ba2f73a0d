#!/usr/bin/env bash
# The Debian package from scripts/package.sh, checked without installing it:
#  - its content list holds every file an installed system needs, and lintian
#    reports no error;
#  - unpacked into a scratch root, tarvel-rebuild purchase --yes rebuilds the
#    demo database's STORY_IN; without --yes and without a terminal it exits 2
#    and leaves STORY_SAL alone; a missing settings file gives the window's
#    error text and exit 1;
#  - the unpacked window program opens its window under Xvfb, with the
#    installed theme's icon, and exits 0 when the window is closed.
# Usage: tests/package/package-test.sh       (prints PASS at the end)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/package
work=$(mktemp -d /tmp/tarvel-package.XXXXXX)
chmod 755 "$work"
xvfb_pid=
openbox_pid=
program_pid=
stop() {  # stop <pid>: ends a process this script started
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$1" 2>/dev/null || true
}
cleanup() { stop "$program_pid"; stop "$openbox_pid"; stop "$xvfb_pid"; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }
# shellcheck source=../support/history-check.sh
. "$root/tests/support/history-check.sh"

step "package"
package=$("$root/scripts/package.sh" "$work" | tail -1)
[ -f "$package" ] || fail "scripts/package.sh made no package"
echo "   $(basename "$package")"
dpkg-deb -c "$package" | awk '{ print $6 }' | sed 's|^\./|/|' > "$work/contents"
while read -r wanted; do
    grep -qx "$wanted" "$work/contents" || fail "the package lacks $wanted"
done < "$here/expected-files"
conffiles=$(dpkg-deb --ctrl-tarfile "$package" | tar -xO ./conffiles)
[ "$conffiles" = "$(printf '/etc/tarvelreset/sqlconnections.ini\n/etc/tarvelreset/sqldrivers.ini')" ] ||
    fail "conffiles: $conffiles"
echo "   every expected file is there; the settings files are conffiles"

step "lintian"
lintian --fail-on error "$package" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.log" || true
lintian --fail-on error "$package" >/dev/null 2>&1 || fail "lintian reports errors"
echo "   no errors ($(grep -c '^W:' "$work/lintian.log" || true) warnings)"

step "unpacked into a scratch root"
tree=$work/root
dpkg-deb -x "$package" "$tree"
for settings in sqlconnections.ini sqldrivers.ini; do
    [ "$(readlink "$tree/usr/lib/tarvelreset/$settings")" = "/etc/tarvelreset/$settings" ] ||
        fail "$settings beside the programs does not lead to /etc/tarvelreset"
done
! grep -Eq '^(User_Name|Password)=' "$tree/etc/tarvelreset/sqlconnections.ini" ||
    fail "the shipped connection file holds a user or a password"
# The links lead to the real /etc; the scratch root's settings are named in
# the per-user settings instead, the other place both programs look.
mkdir -p "$work/db" "$work/config/kestal" "$work/runtime"
chmod 700 "$work/runtime"
"$root/demo/create-demo.sh" "$root/build-package/bin" "$work/db" "$tree/etc/tarvelreset" >/dev/null
db=$work/db/pos-demo.fdb
use_settings() {  # use_settings <connection file>
    printf '[Software\\Kestal\\SQLAccess]\nConnection Registry File=%s\nDriver Registry File=%s\n' \
        "$1" "$tree/etc/tarvelreset/sqldrivers.ini" > "$work/config/kestal/settings.ini"
}
use_settings "$tree/etc/tarvelreset/sqlconnections.ini"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime LC_ALL=en_US.UTF-8
rebuild=$tree/usr/bin/tarvel-rebuild

step "tarvel-rebuild purchase --yes"
snapshot_history "$db" STORY_IN PROVIDER_ID STD_COST
code=0
"$rebuild" purchase --yes </dev/null >"$work/out" 2>"$work/err" || code=$?
sed 's/^/   stderr: /' "$work/err"
[ "$code" = 0 ] || fail "exit code $code"
[ "$(cat "$work/out")" = "階段作業完成" ] || fail "standard output: $(cat "$work/out")"
grep -Eq '^lines [0-9]+, pairs [0-9]+, [0-9]+\.[0-9] s$' "$work/err" || fail "no summary line: $(cat "$work/err")"
check_history "$db" INSTORAGE_SUB STORY_IN PROVIDER_ID STD_COST

step "no --yes and no terminal"
sales() { isql "$db" "SELECT * FROM STORY_SAL ORDER BY CUST_ID, TEMPPRODID, PROD_ID;" | md5sum; }
before=$(sales)
code=0
"$rebuild" sales </dev/null >"$work/out" 2>"$work/err" || code=$?
[ "$code" = 2 ] || fail "exit code $code, expected 2"
grep -q '^Usage: tarvel-rebuild purchase|sales \[--yes\] \[OPTION\]...$' "$work/err" || fail "no usage text: $(cat "$work/err")"
[ "$(sales)" = "$before" ] || fail "STORY_SAL changed"
echo "   exit code 2, usage shown, STORY_SAL untouched"

step "missing named-connection file"
use_settings "$work/missing/sqlconnections.ini"
code=0
"$rebuild" sales --yes </dev/null >"$work/out" 2>"$work/err" || code=$?
[ "$code" = 1 ] || fail "exit code $code, expected 1"
# The last line; the progress lines come before it only once a walk began.
[ "$(tail -1 "$work/err")" = "tarvel-rebuild: Driver/Connection Registry File '$work/missing/sqlconnections.ini' not found." ] ||
    fail "error text: $(cat "$work/err")"
[ "$(sales)" = "$before" ] || fail "STORY_SAL changed"
echo "   exit code 1: $(tail -1 "$work/err")"

step "window program under Xvfb"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")
openbox --sm-disable >"$work/openbox.log" 2>&1 &
openbox_pid=$!
for _ in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
# The scratch root's icons first, as an installed system's would be.
XDG_DATA_DIRS=$tree/usr/share:/usr/share "$tree/usr/bin/tarvelreset" >"$work/program.log" 2>&1 &
program_pid=$!
window=
for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --name '^FormTarvelReset$' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "the window did not open: $(cat "$work/program.log")"
xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (128 x 128)' || fail "the window's icon is not the installed theme's"
xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
code=0
wait "$program_pid" || code=$?
program_pid=
[ "$code" = 0 ] || fail "exit code $code after closing the window: $(cat "$work/program.log")"
echo "   window opened and closed, exit code 0"
echo "PASS"
