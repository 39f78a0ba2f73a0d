#!/usr/bin/env bash
# tarvel-rebuild@.service run for real by systemd, sandbox and all, in a
# Debian 12 container booted with systemd-nspawn (for machines where systemd
# is not the init system, like most build hosts):
#  - installed with the project's install rules, the account from sysusers.d;
#  - embedded: with the example drop-in in-process.conf, systemctl start
#    tarvel-rebuild@purchase rebuilds the demo database's STORY_IN in Debian's
#    database folder, as tarvel-rebuild (in no group firebird of /etc/group),
#    without a password file (the credential's fallback), and leaves one
#    JSON line in the journal;
#  - over TCP to the loopback test server (the host's, scripts/fbserver.sh),
#    without the drop-in: the password from /etc/tarvelreset/password as the
#    credential rebuilds STORY_IN; a wrong one fails the unit;
#  - both timers enable, not persistent.
# Usage (root): tests/package/unit-in-container.sh <build folder> [container root]
#   The container root (default /var/tmp/tarvel-unit-root) is made with
#   debootstrap when missing (needs the Debian mirror; a few minutes) and kept
#   for the next run. Needs debootstrap and systemd-container. The TCP part
#   runs when the test server answers on 127.0.0.1:3050 (TARVEL_FB_PASSWORD,
#   default tarvel-test). Prints PASS at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: unit-in-container.sh <build folder> [container root]}" && pwd)
container=${2:-/var/tmp/tarvel-unit-root}
password=${TARVEL_FB_PASSWORD:-tarvel-test}
[ "$(id -u)" = 0 ] || { echo "unit-in-container.sh: run it as root" >&2; exit 1; }
work=$(mktemp -d /var/tmp/tarvel-unit.XXXXXX)
chmod 755 "$work"
nspawn_pid=
cleanup() {
    # SIGTERM makes systemd-nspawn shut the container down in order.
    if [ -n "$nspawn_pid" ] && kill "$nspawn_pid" 2>/dev/null; then
        for _ in $(seq 300); do kill -0 "$nspawn_pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }
# shellcheck source=../support/history-check.sh
. "$source_root/tests/support/history-check.sh"

if [ ! -x "$container/usr/bin/isql-fb" ]; then
    step "debootstrap $container"
    debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus,firebird3.0-server,firebird3.0-utils \
        bookworm "$container" http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1 ||
        { tail -5 "$work/debootstrap.log"; fail "debootstrap"; }
    # The container's own server would compete with the host's for port 3050.
    chroot "$container" systemctl mask firebird3.0.service systemd-networkd-wait-online.service >/dev/null 2>&1
fi

step "install into the container and boot it"
DESTDIR=$container cmake --install "$build" --prefix /usr >/dev/null
# Without systemd on the host: no machine registration, no scope of its own.
systemd-nspawn -b -D "$container" --register=no --keep-unit --console=pipe \
    --machine="tarvel-unit-$$" </dev/null >"$work/nspawn.log" 2>&1 &
nspawn_pid=$!
inside() { nsenter -t "$init_pid" -a "$@"; }
init_pid=
for _ in $(seq 300); do
    init_pid=$(pgrep -P "$nspawn_pid" -x systemd || true)
    [ -n "$init_pid" ] && inside systemctl is-system-running --wait 2>/dev/null | grep -Eq '^(running|degraded)$' &&
        break
    sleep 0.1
done
[ -n "$init_pid" ] || fail "the container did not boot: $(cat "$work/nspawn.log")"
echo "   $(inside systemctl --version | head -1), $(inside systemctl is-system-running || true)"
inside systemd-sysusers
! inside id -nG tarvel-rebuild | tr ' ' '\n' | grep -qx firebird || fail "tarvel-rebuild is in group firebird"
dropins=/etc/systemd/system/tarvel-rebuild@.service.d
inside mkdir -p "$dropins"
cp "$source_root/packaging/examples/in-process.conf" "$container$dropins/"
inside systemctl daemon-reload
inside rm -f /etc/tarvelreset/password
data=/var/lib/firebird/3.0/data
connection() {  # connection <Database= value>: the installed settings, with the user
    sed -i -e '/^User_Name=/d' -e "s|^Database=.*|Database=$1\nUser_Name=SYSDBA|" \
        "$container/etc/tarvelreset/sqlconnections.ini"
}
# run <history>: the unit once; prints its result and exit status.
run() {
    inside systemctl reset-failed "tarvel-rebuild@$1.service" 2>/dev/null || true
    inside systemctl start "tarvel-rebuild@$1.service" 2>/dev/null || true
    inside systemctl show -p Result --value "tarvel-rebuild@$1.service"
}

step "embedded, no password file"
"$source_root/demo/create-demo.sh" "$build/bin" "$work" "$work/settings" >/dev/null
snapshot_history "$work/pos-demo.fdb" STORY_IN PROVIDER_ID STD_COST
cp "$work/pos-demo.fdb" "$container$data/posdata.fdb"
inside chown firebird:firebird "$data/posdata.fdb"
inside chmod 0660 "$data/posdata.fdb"
connection "$data/posdata.fdb"
result=$(run purchase)
inside journalctl -u tarvel-rebuild@purchase.service -o cat --no-pager | tail -3 | sed 's/^/   journal: /'
[ "$result" = success ] || fail "the unit's result: $result"
inside journalctl -u tarvel-rebuild@purchase.service -o cat --no-pager | grep -q '^{"result":"done",' ||
    fail "no summary line in the journal"
inside rm -rf "$dropins"
inside systemctl daemon-reload
cp "$container$data/posdata.fdb" "$work/pos-demo.fdb"
check_history "$work/pos-demo.fdb" INSTORAGE_SUB STORY_IN PROVIDER_ID STD_COST

if ss -ltn | grep -q '127.0.0.1:3050 '; then
    step "over TCP, the password as a credential"
    mkdir -p "$work/tcp"
    "$source_root/demo/create-demo.sh" "$build/bin" "$work/tcp" "$work/settings" >/dev/null
    chown -R firebird:firebird "$work/tcp"
    connection "127.0.0.1:$work/tcp/pos-demo.fdb"
    inside install -m 0640 -o root -g tarvel-rebuild /dev/null /etc/tarvelreset/password
    echo wrong-password >"$container/etc/tarvelreset/password"
    result=$(run purchase)
    [ "$result" = exit-code ] || fail "a wrong password: the unit's result is $result"
    echo "   a wrong password: the unit failed ($result)"
    echo "$password" >"$container/etc/tarvelreset/password"
    rows() { echo 'SELECT COUNT(*) AS N FROM STORY_IN;' | isql-fb -q -user SYSDBA -password "$password" \
        "127.0.0.1:$work/tcp/pos-demo.fdb" | awk 'NF == 1 && $1 ~ /^[0-9]+$/ { print $1 }'; }
    before=$(rows)
    result=$(run purchase)
    [ "$result" = success ] || fail "the unit's result: $result"
    after=$(rows)
    [ -n "$after" ] && [ "$after" != "$before" ] || fail "STORY_IN rows over TCP: $before before, $after after"
    echo "   the right password: $result, STORY_IN $before rows before, $after after"
    inside rm -f /etc/tarvelreset/password
else
    step "over TCP: skipped, no server answers on 127.0.0.1:3050"
fi

step "timers"
inside systemctl enable --now tarvel-rebuild@purchase.timer tarvel-rebuild@sales.timer >/dev/null 2>&1
inside systemctl list-timers --no-pager 'tarvel-rebuild@*' | sed -n '2,3s/^/   /p'
[ "$(inside systemctl show -p Persistent --value tarvel-rebuild@sales.timer)" = no ] || fail "the timer is persistent"
inside systemctl disable --now tarvel-rebuild@purchase.timer tarvel-rebuild@sales.timer >/dev/null 2>&1
echo "PASS"
