#!/usr/bin/env bash
# Starts, stops and reports a Firebird 3 server for the tests, without systemd.
#
#   scripts/fbserver.sh start    set the SYSDBA test password, start the server,
#                                wait until 127.0.0.1:3050 accepts connections
#   scripts/fbserver.sh stop     SIGTERM the server started here, wait for it to exit
#   scripts/fbserver.sh status   exit 0 when the server answers, 1 otherwise
#
# Environment: TARVEL_FB_PASSWORD (default "tarvel-test"), TARVEL_FB_PIDFILE
# (default /tmp/tarvel-fbserver.pid). Must run as root on a machine where the
# Debian Firebird 3 packages are installed. Every command is idempotent.
set -euo pipefail

PASSWORD="${TARVEL_FB_PASSWORD:-tarvel-test}"
PIDFILE="${TARVEL_FB_PIDFILE:-/tmp/tarvel-fbserver.pid}"
LOGFILE="${PIDFILE%.pid}.log"
SERVER=/usr/sbin/firebird
CONF=/etc/firebird/3.0/firebird.conf
HOST=127.0.0.1
PORT=3050
START_WAIT_TENTHS=150   # 15 s
STOP_WAIT_TENTHS=150

die() { echo "fbserver: $*" >&2; exit 1; }

# The security database: firebird.conf may name it; Debian keeps it here.
securityDatabase() {
    local configured=""
    if [[ -r "$CONF" ]]; then
        configured=$(sed -n 's/^[[:space:]]*SecurityDatabase[[:space:]]*=[[:space:]]*\(.*[^[:space:]]\)[[:space:]]*$/\1/p' "$CONF" | tail -n 1)
    fi
    if [[ -n "$configured" && "$configured" == /* ]]; then
        echo "$configured"
    else
        echo /var/lib/firebird/3.0/system/security3.fdb
    fi
}

portAccepts() {
    (exec 3<>"/dev/tcp/$HOST/$PORT") 2>/dev/null
}

ownPid() {
    [[ -s "$PIDFILE" ]] || return 1
    local pid
    pid=$(<"$PIDFILE")
    [[ "$pid" =~ ^[0-9]+$ ]] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    # A recycled process id must not be taken for our server.
    [[ "$(readlink -f "/proc/$pid/exe" 2>/dev/null)" == "$(readlink -f "$SERVER")" ]] || return 1
    echo "$pid"
}

setPassword() {
    local secdb output
    secdb=$(securityDatabase)
    [[ -f "$secdb" ]] || die "security database $secdb not found"
    # Embedded attachment: the server must not hold the file open now.
    output=$(printf "CREATE OR ALTER USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" "$PASSWORD" \
        | isql-fb -q -user SYSDBA "$secdb" 2>&1) || die "setting the SYSDBA password failed: $output"
    if [[ -n "$output" ]]; then
        die "setting the SYSDBA password failed: $output"
    fi
}

# A server this script did not start (the packaged service) already runs: make
# the test password valid through it, logging in with ours or with the password
# the package generated, and creating a scratch database to log in to.
setPasswordThroughServer() {
    local scratch="/tmp/tarvel-fbcheck-$$.fdb" generated="" login output
    if [[ -r /etc/firebird/3.0/SYSDBA.password ]]; then
        generated=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' /etc/firebird/3.0/SYSDBA.password)
    fi
    for login in "$PASSWORD" "$generated" masterkey; do
        [[ -n "$login" ]] || continue
        rm -f "$scratch"
        output=$(printf "CREATE DATABASE '%s:%s' USER 'SYSDBA' PASSWORD '%s';\nCREATE OR ALTER USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\nDROP DATABASE;\n" \
            "$HOST" "$scratch" "$login" "$PASSWORD" | isql-fb -q 2>&1) && [[ -z "$output" ]] && { rm -f "$scratch"; return 0; }
    done
    rm -f "$scratch"
    die "a server not started by this script answers on $HOST:$PORT and the SYSDBA test password cannot be set through it: $output"
}

start() {
    [[ -x "$SERVER" ]] || die "$SERVER not installed"
    if ownPid >/dev/null; then
        portAccepts && { echo "fbserver: already running (pid $(ownPid))"; return 0; }
    elif portAccepts; then
        setPasswordThroughServer
        echo "fbserver: using the server that already answers on $HOST:$PORT (not started here)"
        return 0
    fi
    rm -f "$PIDFILE"
    setPassword
    mkdir -p /tmp/firebird
    chmod 1777 /tmp/firebird
    setsid "$SERVER" >"$LOGFILE" 2>&1 < /dev/null &
    local pid=$!
    echo "$pid" > "$PIDFILE"
    local i
    for ((i = 0; i < START_WAIT_TENTHS; ++i)); do
        if portAccepts; then
            echo "fbserver: started (pid $pid)"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || { rm -f "$PIDFILE"; die "server exited at start: $(cat "$LOGFILE")"; }
        sleep 0.1
    done
    kill -TERM "$pid" 2>/dev/null || true
    rm -f "$PIDFILE"
    die "server did not accept connections on $HOST:$PORT within $((START_WAIT_TENTHS / 10)) s"
}

stop() {
    local pid
    if ! pid=$(ownPid); then
        rm -f "$PIDFILE"
        echo "fbserver: no server started here is running"
        return 0
    fi
    kill -TERM "$pid"
    local i
    for ((i = 0; i < STOP_WAIT_TENTHS; ++i)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            rm -f "$PIDFILE"
            echo "fbserver: stopped"
            return 0
        fi
        sleep 0.1
    done
    die "server (pid $pid) did not exit within $((STOP_WAIT_TENTHS / 10)) s"
}

status() {
    if portAccepts; then
        local pid
        if pid=$(ownPid); then echo "fbserver: running (pid $pid)"; else echo "fbserver: answering (not started here)"; fi
        return 0
    fi
    echo "fbserver: not running"
    return 1
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    status) status ;;
    *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
esac
