#!/usr/bin/env bash
# The Debian packages, tarvel-rebuild and tarvelreset, checked built and
# unpacked (the default), or installed on this machine (--installed, what
# debian/tests/control runs as an autopkgtest):
#  - built: scripts/package.sh makes both packages and their debug symbols;
#    each holds its files of expected-files and no file of the other;
#    tarvel-rebuild holds the settings files as conffiles and depends on no
#    window system; tarvelreset depends on tarvel-rebuild of its own version;
#    the maintainer scripts reload systemd for the template units and add the
#    account to no group; lintian reports no error, warning or missing
#    hardening on the binary packages and the source package;
#  - installed: the settings files are conffiles of tarvel-rebuild, readable
#    by everyone, the account and group tarvel-rebuild exist, the account is
#    not in group firebird, no password file shipped; the command the service
#    runs, run as the service's account with the password as a credential,
#    rebuilds STORY_SAL over the loopback server (started for the test when
#    none answers on 127.0.0.1, TARVEL_FB_PORT or 3050) and prints one JSON
#    line and nothing else, and fails without the credential;
#  - both: systemd-analyze verify loads the unit templates, with the example
#    in-process drop-in, without a complaint; tarvel-rebuild purchase --yes rebuilds a scratch demo database's
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
server_started=
cleanup() {
    stop "$window_pid"; stop "$openbox_pid"; stop "$xvfb_pid"
    [ -z "$server_started" ] || env -u FIREBIRD_LOCK "$root/scripts/fbserver.sh" stop >/dev/null || true
    rm -rf "$work"
}
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
    # Group firebird would open every database of the local server's to the service.
    ! id -nG tarvel-rebuild | tr ' ' '\n' | grep -qx firebird || fail "the account tarvel-rebuild is in group firebird"
    ! dpkg-query -S /etc/tarvelreset/password >/dev/null 2>&1 || fail "a package ships /etc/tarvelreset/password"
    echo "   conffiles, modes 0644, account and group tarvel-rebuild, not in group firebird"
    units=/usr/lib/systemd/system
    examples=/usr/share/doc/tarvel-rebuild/examples
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

    step "maintainer scripts"
    # debhelper's systemd snippets skip template units, so the package's own
    # scripts must reload systemd after an installation, an upgrade or a removal.
    dpkg-deb --ctrl-tarfile "$(deb tarvel-rebuild)" | tar -xf - -C "$work" ./postinst ./prerm ./postrm
    for script in postinst postrm; do
        grep -q '^ *systemctl --system daemon-reload' "$work/$script" || fail "the $script does not reload systemd"
    done
    grep -q '^ *systemd-sysusers.* tarvel-rebuild.conf$' "$work/postinst" ||
        fail "the postinst does not create the account from sysusers.d"
    ! grep -Eq '^[^#]*(adduser|useradd|usermod|gpasswd)' "$work/postinst" ||
        fail "the postinst makes or changes an account itself: $(grep -E '^[^#]*(adduser|useradd|usermod|gpasswd)' "$work/postinst")"
    for script in postinst prerm postrm; do sh -n "$work/$script" || fail "the $script is not valid sh"; done
    echo "   systemd reloaded on configure and removal; the account from sysusers.d alone"

    step "lintian"
    # An override must say why on the comment line before it.
    for overrides in "$root"/debian/*lintian-overrides; do
        [ -e "$overrides" ] || continue
        awk '!/^#/ && NF && prev !~ /^#/ { print FILENAME ": no reason for " $0; bad = 1 } { prev = $0 } END { exit bad }' \
            "$overrides" || fail "lintian override without a reason"
    done
    # The .changes names the source package too, so lintian checks it as well.
    changes=$out/tarvelreset_${version}_$arch.changes
    grep -q " tarvelreset_${version}\.dsc\$" "$changes" || fail "the .changes names no source package"
    lintian -I --fail-on error,warning "$changes" >"$work/lintian.log" 2>&1 ||
        { cat "$work/lintian.log"; fail "lintian reports errors or warnings"; }
    ! grep -E 'hardening-no-(bindnow|relro|pie|fortify-functions)' "$work/lintian.log" || fail "missing hardening"
    echo "   no errors, warnings or missing hardening, source package included ($(grep -c '^[IP]:' "$work/lintian.log" || true) notes)"

    step "unpacked into a scratch root"
    tree=$work/root
    dpkg-deb -x "$(deb tarvel-rebuild)" "$tree"
    dpkg-deb -x "$(deb tarvelreset)" "$tree"
    units=$tree/usr/lib/systemd/system
    examples=$tree/usr/share/doc/tarvel-rebuild/examples
else
    fail "unknown argument $mode"
fi
while read -r package wanted; do
    grep -qx "$wanted" "$work/$package.contents" || fail "$package lacks $wanted"
done < "$here/expected-files"
echo "   every file of expected-files in its package"
for package in tarvel-rebuild tarvelreset; do
    foreign=$(grep -E '^/usr/share/doc/[^/]+' "$work/$package.contents" | grep -Ev "^/usr/share/doc/$package(/|\$)" || true)
    [ -z "$foreign" ] || fail "$package has documents outside /usr/share/doc/$package/: $foreign"
done
echo "   each package's documents in its own /usr/share/doc/<package>/"
for settings in sqlconnections.ini sqldrivers.ini; do
    [ "$(readlink "$tree/usr/lib/tarvelreset/$settings")" = "/etc/tarvelreset/$settings" ] ||
        fail "$settings beside the programs does not lead to /etc/tarvelreset"
done
! grep -Eq '^(User_Name|Password)=' "$tree/etc/tarvelreset/sqlconnections.ini" ||
    fail "the shipped connection file holds a user or a password"

step "systemd-analyze verify"
# The templates as shipped, and with the in-process drop-in of the examples
# beside them, loaded from a folder of their own. The root is the one the
# programs are in (the scratch root, or /), so that the program the service
# starts must exist; the boot targets the units need come from this machine.
verify_root=$work/verify
mkdir -p "$verify_root/etc/systemd/system/tarvel-rebuild@.service.d" "$verify_root/usr/bin"
cp /lib/systemd/system/*.target "$verify_root/etc/systemd/system/"
cp "$units/tarvel-rebuild@.service" "$units/tarvel-rebuild@.timer" "$verify_root/etc/systemd/system/"
cp -P "$tree/usr/bin/tarvel-rebuild" "$verify_root/usr/bin/"
mkdir -p "$verify_root/usr/lib/tarvelreset"
cp "$tree/usr/lib/tarvelreset/tarvel-rebuild" "$verify_root/usr/lib/tarvelreset/"
verify() {  # verify <what>: the templates in the verify root, no output allowed
    local code=0
    systemd-analyze verify --root="$verify_root" --man=no tarvel-rebuild@.service tarvel-rebuild@.timer \
        >"$work/verify.log" 2>&1 || code=$?
    [ "$code" = 0 ] && [ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd-analyze verify, $1"; }
}
verify "the templates"
cp "$examples/in-process.conf" "$verify_root/etc/systemd/system/tarvel-rebuild@.service.d/"
verify "with in-process.conf"
grep -q '^ExecStart=/usr/bin/tarvel-rebuild ' "$units/tarvel-rebuild@.service" || fail "the service runs no /usr/bin/tarvel-rebuild"
echo "   the templates load, alone and with in-process.conf"

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

if [ "$mode" = --installed ]; then
    step "the service's command, as its account, over the loopback server"
    port=${TARVEL_FB_PORT:-3050}
    server_password=${TARVEL_FB_PASSWORD:-tarvel-test}
    # The server keeps the package's lock folder, not the scratch one above.
    if ! env -u FIREBIRD_LOCK "$root/scripts/fbserver.sh" status >/dev/null; then
        env -u FIREBIRD_LOCK "$root/scripts/fbserver.sh" start >/dev/null
        server_started=yes
    fi
    # The server opens the file; the account needs no access to it.
    mkdir "$work/served"
    cp "$db" "$work/served/pos.fdb"
    chown -R firebird:firebird "$work/served"
    chmod 0700 "$work/served"
    served="127.0.0.1/$port:$work/served/pos.fdb"
    through_server() {  # through_server <sql>: LIST output of a query through the server
        printf "CONNECT '%s' USER 'SYSDBA' PASSWORD '%s';\nSET LIST ON;\n%s\n" "$served" "$server_password" "$1" \
            > "$work/served.sql"
        isql-fb -q -b -ch NONE -i "$work/served.sql"
    }
    sales_served() { through_server "SELECT * FROM STORY_SAL ORDER BY CUST_ID, TEMPPRODID, PROD_ID;" | md5sum; }
    before=$(sales_served)
    # What systemd hands the run: the credential folder, owned by the account
    # and closed to others, and the unit's own command line for the history.
    mkdir "$work/credentials"
    printf '%s\n' "$server_password" > "$work/credentials/password"
    chown -R tarvel-rebuild: "$work/credentials"
    chmod 0500 "$work/credentials"
    chmod 0400 "$work/credentials/password"
    exec_start=$(sed -n 's/^ExecStart=//p' "$units/tarvel-rebuild@.service")
    read -r -a command <<<"${exec_start//%i/sales}"
    as_service() {  # as_service <environment>...: the command as the account, with the database given
        local code=0
        runuser -u tarvel-rebuild -- env -i PATH=/usr/bin:/bin HOME=/nonexistent LANG=C.UTF-8 "$@" \
            "${command[@]}" --database "$served" --user SYSDBA </dev/null >"$work/out" 2>"$work/err" || code=$?
        echo "$code"
    }
    code=$(as_service)
    [ "$code" = 1 ] || fail "without the credential: exit code $code, expected 1"
    grep -q '^{"result":"failed",' "$work/out" || fail "without the credential: $(cat "$work/out")"
    [ "$(sales_served)" = "$before" ] || fail "STORY_SAL changed by a run that could not log in"
    echo "   without the credential: exit code 1, $(cut -c1-60 "$work/out")..."
    code=$(as_service CREDENTIALS_DIRECTORY="$work/credentials")
    sed 's/^/   stderr: /' "$work/err"
    [ "$code" = 0 ] || fail "${command[*]}: exit code $code"
    [ ! -s "$work/err" ] || fail "the run printed on standard error"
    [ "$(wc -l < "$work/out")" = 1 ] || fail "the run printed more than one line: $(cat "$work/out")"
    grep -Eq '^\{"result":"done","lines":[1-9][0-9]*,"pairs":[1-9][0-9]*,"seconds":[0-9]+\.[0-9]\}$' "$work/out" ||
        fail "no summary line: $(cat "$work/out")"
    [ "$(sales_served)" != "$before" ] || fail "STORY_SAL unchanged"
    echo "   ${command[*]}: exit code 0, one line, $(cat "$work/out")"
fi
echo "PASS"
