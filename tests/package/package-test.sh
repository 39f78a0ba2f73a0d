#!/usr/bin/env bash
# The Debian packages, tarvel-rebuild and tarvelreset, checked built and
# unpacked (the default), or installed on this machine (--installed, what
# debian/tests/control runs as an autopkgtest):
#  - built: scripts/package.sh makes both packages and their debug symbols;
#    each holds its files of expected-files and no file of the other;
#    tarvel-rebuild holds the settings files as conffiles and depends on no
#    window system; tarvelreset depends on tarvel-rebuild of its own version;
#    lintian reports no error, warning or missing hardening;
#  - installed: the settings files are conffiles of tarvel-rebuild, readable
#    by everyone, the group tarvel-rebuild exists, no password file shipped;
#  - both: tarvel-rebuild purchase --yes rebuilds a scratch demo database's
#    STORY_IN; without --yes and without a terminal it exits 2 and leaves
#    STORY_SAL alone; a missing settings file gives the window's error text
#    and exit 1; the window program opens under Xvfb with the installed theme's icon
#    and exits 0 when closed.
# Usage: tests/package/package-test.sh [--installed]     (prints PASS at the end)
# Environment: TARVEL_PACKAGE_OUT, a folder to keep the built packages in.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/package
mode=${1:-built}
work=$(mktemp -d /tmp/tarvel-package.XXXXXX)
chmod 755 "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }
# shellcheck source=../support/desktop-session.sh
. "$root/tests/support/desktop-session.sh"
# shellcheck source=../support/window-icon.sh
. "$root/tests/support/window-icon.sh"
cleanup() { stop "$window_pid"; stop "$openbox_pid"; stop "$xvfb_pid"; rm -rf "$work"; }
trap cleanup EXIT
# shellcheck source=../support/history-check.sh
. "$root/tests/support/history-check.sh"
settings_files=$(printf '/etc/tarvelreset/sqlconnections.ini\n/etc/tarvelreset/sqldrivers.ini')

if [ "$mode" = --installed ]; then
    tree=
    step "installed packages"
    for p in tarvel-rebuild tarvelreset; do
        [ "$(dpkg-query -W -f='${db:Status-Status}' "$p")" = installed ] || fail "$p is not installed"
        dpkg-query -L "$p" > "$work/$p.contents"
    done
    conffiles=$(dpkg-query -W -f='${Conffiles}\n' tarvel-rebuild | awk 'NF { print $1 }')
    [ "$conffiles" = "$settings_files" ] || fail "conffiles of tarvel-rebuild: $conffiles"
    for f in $settings_files; do
        [ "$(stat -c '%a %U' "$f")" = "644 root" ] || fail "$f: $(stat -c '%a %U' "$f")"
    done
    getent group tarvel-rebuild >/dev/null || fail "no group tarvel-rebuild"
    getent passwd tarvel-rebuild >/dev/null || fail "no account tarvel-rebuild for the service"
    ! dpkg-query -S /etc/tarvelreset/password >/dev/null 2>&1 || fail "a package ships /etc/tarvelreset/password"
    echo "   conffiles, modes 0644, group tarvel-rebuild"
elif [ "$mode" = built ]; then
    step "packages"
    out=${TARVEL_PACKAGE_OUT:-$work/packages}
    "$root/scripts/package.sh" "$out" > "$work/built"
    version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
    arch=$(dpkg --print-architecture)
    for p in tarvel-rebuild tarvelreset tarvel-rebuild-dbgsym tarvelreset-dbgsym; do
        file=$(cd "$out" && pwd)/${p}_${version}_$arch.deb
        grep -qx "$file" "$work/built" || fail "scripts/package.sh did not name $file: $(cat "$work/built")"
        dpkg-deb -c "$file" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' > "$work/$p.contents"
    done
    deb() { echo "$out/${1}_${version}_$arch.deb"; }
    shared=$(sort "$work/tarvel-rebuild.contents" "$work/tarvelreset.contents" | uniq -d)
    [ -z "$shared" ] || fail "files in both packages: $shared"
    conffiles=$(dpkg-deb --ctrl-tarfile "$(deb tarvel-rebuild)" | tar -xO ./conffiles)
    [ "$conffiles" = "$settings_files" ] || fail "conffiles of tarvel-rebuild: $conffiles"
    control=$(dpkg-deb --ctrl-tarfile "$(deb tarvelreset)" | tar -t)
    ! grep -qx ./conffiles <<<"$control" || fail "tarvelreset has conffiles"
    # The command line must install on a machine without a window system.
    depends=$(dpkg-deb -f "$(deb tarvel-rebuild)" Depends)
    ! echo "$depends" | grep -Eiq 'qt|libx|xcb|libgl|font|wayland' || fail "tarvel-rebuild depends on $depends"
    dpkg-deb -f "$(deb tarvelreset)" Depends | grep -Fq "tarvel-rebuild (= $version)" ||
        fail "tarvelreset does not depend on tarvel-rebuild (= $version)"
    echo "   $(wc -l < "$work/built") packages, no file in both; conffiles; dependencies"

    step "lintian"
    # An override must say why on the comment line before it.
    for overrides in "$root"/debian/*lintian-overrides; do
        [ -e "$overrides" ] || continue
        awk '!/^#/ && NF && prev !~ /^#/ { print FILENAME ": no reason for " $0; bad = 1 } { prev = $0 } END { exit bad }' \
            "$overrides" || fail "lintian override without a reason"
    done
    lintian -I --fail-on error,warning "$out/tarvelreset_${version}_$arch.changes" >"$work/lintian.log" 2>&1 ||
        { cat "$work/lintian.log"; fail "lintian reports errors or warnings"; }
    ! grep -E 'hardening-no-(bindnow|relro|pie|fortify-functions)' "$work/lintian.log" || fail "missing hardening"
    echo "   no errors, warnings or missing hardening ($(grep -c '^[IP]:' "$work/lintian.log" || true) notes)"

    step "unpacked into a scratch root"
    tree=$work/root
    dpkg-deb -x "$(deb tarvel-rebuild)" "$tree"
    dpkg-deb -x "$(deb tarvelreset)" "$tree"
else
    fail "unknown argument $mode"
fi
while read -r package wanted; do
    grep -qx "$wanted" "$work/$package.contents" || fail "$package lacks $wanted"
done < "$here/expected-files"
echo "   every file of expected-files in its package"
for settings in sqlconnections.ini sqldrivers.ini; do
    [ "$(readlink "$tree/usr/lib/tarvelreset/$settings")" = "/etc/tarvelreset/$settings" ] ||
        fail "$settings beside the programs does not lead to /etc/tarvelreset"
done
! grep -Eq '^(User_Name|Password)=' "$tree/etc/tarvelreset/sqlconnections.ini" ||
    fail "the shipped connection file holds a user or a password"

# The links lead to /etc; the scratch database's settings, beside it, are
# named in the per-user settings, the other place both programs look. The
# database is opened in-process by nothing else: a lock folder of its own.
mkdir -p "$work/db" "$work/settings" "$work/config/kestal" "$work/runtime" "$work/bin"
chmod 700 "$work/runtime"
g++ -std=c++20 -O1 -o "$work/bin/tarvel_demo_data" "$root/demo/DemoData.cpp"
export FIREBIRD_LOCK=$work/lock
"$root/demo/create-demo.sh" "$work/bin" "$work/db" "$work/settings" >/dev/null
db=$work/db/pos-demo.fdb
use_settings() {  # use_settings <connection file>
    printf '[Software\\Kestal\\SQLAccess]\nConnection Registry File=%s\nDriver Registry File=%s\n' \
        "$1" "$work/settings/sqldrivers.ini" > "$work/config/kestal/settings.ini"
}
use_settings "$work/settings/sqlconnections.ini"
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
start_desktop
# The scratch root's icons first, as an installed system's would be.
open_window "$work/program.log" env XDG_DATA_DIRS="$tree/usr/share:/usr/share" "$tree/usr/bin/tarvelreset"
expect_icon "$window" 128x128 "the window's icon is not the installed theme's"
close_window "$work/program.log"
echo "   window opened and closed, exit code 0"
echo "PASS"
