#!/usr/bin/env bash
# Starts, stops and reports a Firebird 3 server for the tests, without systemd.
#
#   scripts/fbserver.sh start    start the server (set its SYSDBA password to the
#                                test password first) and wait until 127.0.0.1
#                                accepts connections on its port
#   scripts/fbserver.sh stop     SIGTERM the server started here, wait for it to exit
#   scripts/fbserver.sh status   exit 0 when the server answers, 1 otherwise
#   scripts/fbserver.sh env      print, as shell assignments for eval, what a test
#                                needs to use the running server: TARVEL_FB_PORT,
#                                and FIREBIRD_LOCK when the server has a lock folder
#                                of its own that embedded attachments must share
#
# Two set-ups, chosen by who runs the script; neither needs the other's rights:
#
# - root: the packaged server's own set-up. The system security database gets
#   the test password, the server uses the package's lock folder /tmp/firebird
#   and listens on port 3050 (TARVEL_FB_PORT), or the server that already
#   answers there is used. The pid file is TARVEL_FB_PIDFILE (default
#   /tmp/tarvel-fbserver.pid).
#
# - any other user: the server runs as that user, from a folder of its own,
#   /tmp/tarvel-fbserver-<uid> (TARVEL_FB_STATE): its configuration, a security
#   database made for it with the test password, its pid file and log, and its
#   lock folder, which the tests' own embedded attachments share through
#   FIREBIRD_LOCK (printed by "env"); the package's lock folder, /tmp/firebird,
#   is usually open only to group firebird. It listens on TARVEL_FB_PORT, or
#   without it on 3050, or on the first free port up to 3059 when a server that
#   this user did not start (the packaged service) answers there.
#
# Environment: TARVEL_FB_PASSWORD (default "tarvel-test"). Needs the Debian
# Firebird 3 packages. Every command is idempotent.
set -euo pipefail

PASSWORD="${TARVEL_FB_PASSWORD:-tarvel-test}"
SERVER=/usr/sbin/firebird
# The engine's own files (plugins, messages, character sets).
FBROOT=$(ls -d /usr/lib/*/firebird/3.0 2>/dev/null | head -n 1)
CONF=/etc/firebird/3.0/firebird.conf
HOST=127.0.0.1
START_WAIT_TENTHS=150   # 15 s
STOP_WAIT_TENTHS=150

die() { echo "fbserver: $*" >&2; exit 1; }

if [[ -n "${TARVEL_FB_PORT:-}" ]]; then
    [[ "$TARVEL_FB_PORT" =~ ^[0-9]+$ ]] && ((TARVEL_FB_PORT > 0 && TARVEL_FB_PORT < 65536)) ||
        die "TARVEL_FB_PORT is '$TARVEL_FB_PORT', not a port number"
fi

if [[ $(id -u) -eq 0 ]]; then
    MODE=system
    PIDFILE="${TARVEL_FB_PIDFILE:-/tmp/tarvel-fbserver.pid}"
    LOGFILE="${PIDFILE%.pid}.log"
    PORTS=("${TARVEL_FB_PORT:-3050}")
else
    MODE=user
    STATE="${TARVEL_FB_STATE:-/tmp/tarvel-fbserver-$(id -u)}"
    PIDFILE="$STATE/server.pid"
    LOGFILE="$STATE/server.log"
    if [[ -n "${TARVEL_FB_PORT:-}" ]]; then PORTS=("$TARVEL_FB_PORT"); else PORTS=($(seq 3050 3059)); fi
fi
PORT=${PORTS[0]}

# The user set-up's folder, made on first use. It lies in a folder everyone can
# write to, so it must be a real folder of this user's and no one else's.
userState() {
    mkdir -p -m 700 "$STATE" "$STATE/lock" "$STATE/root"
    [[ -d "$STATE" && ! -L "$STATE" && -O "$STATE" ]] || die "$STATE is not a folder of this user's own"
    [[ -d "$STATE/lock" && ! -L "$STATE/lock" && -O "$STATE/lock" ]] ||
        die "$STATE/lock is not a folder of this user's own"
    chmod 700 "$STATE"
    # The port the server was started on.
    if [[ -s "$STATE/port" ]]; then PORT=$(<"$STATE/port"); fi
}

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

portAccepts() {  # portAccepts [port]
    (exec 3<>"/dev/tcp/$HOST/${1:-$PORT}") 2>/dev/null
}

ownPid() {
    [[ -s "$PIDFILE" ]] || return 1
    local pid
    pid=$(<"$PIDFILE")
    [[ "$pid" =~ ^[0-9]+$ ]] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    # A recycled process id must not be taken for our server.
    [[ "$(readlink -f "/proc/$pid/exe" 2>/dev/null)" == "$(readlink -f "$SERVER")" ]] || return 1
    if [[ $MODE == user ]]; then
        # This user may run other servers (a test's own): ours was given our port.
        local args
        args=$(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null) || return 1
        [[ "$args" == *" -p $PORT "* ]] || return 1
    fi
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

# The user set-up's configuration and security database, made anew at every
# start (the test password may have changed). The server and every embedded
# attachment of the tests use the lock folder $STATE/lock.
prepareUserServer() {
    local item output secdb="$STATE/security3.fdb"
    for item in UDF intl lib plugins firebird.msg plugins.conf fbtrace.conf; do
        ln -sfn "$FBROOT/$item" "$STATE/root/$item"
    done
    {
        cat "$CONF"
        echo "SecurityDatabase = $secdb"
        echo "RemoteServicePort = $PORT"
        echo "RemoteBindAddress = $HOST"
    } > "$STATE/root/firebird.conf"
    printf 'security.db = %s\n{\n\tRemoteAccess = false\n}\n' "$secdb" > "$STATE/root/databases.conf"
    rm -f "$secdb"
    # Made embedded, under the server's own configuration, so that the new
    # file is the security database its SYSDBA is created in.
    output=$(printf "CREATE DATABASE '%s' USER 'SYSDBA';\nCREATE USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" \
        "$secdb" "$PASSWORD" | FIREBIRD="$STATE/root" FIREBIRD_LOCK="$STATE/lock" isql-fb -q 2>&1) ||
        die "making the security database $secdb failed: $output"
    [[ -z "$output" ]] || die "making the security database $secdb failed: $output"
    chmod 600 "$secdb"
}

launch() {
    if [[ $MODE == user ]]; then
        FIREBIRD="$STATE/root" FIREBIRD_LOCK="$STATE/lock" setsid "$SERVER" -p "$PORT" >"$LOGFILE" 2>&1 < /dev/null &
    else
        local args=()
        [[ "$PORT" == 3050 ]] || args=(-p "$PORT")
        setsid "$SERVER" "${args[@]}" >"$LOGFILE" 2>&1 < /dev/null &
    fi
    local pid=$!
    echo "$pid" > "$PIDFILE"
    local i
    for ((i = 0; i < START_WAIT_TENTHS; ++i)); do
        if portAccepts; then
            echo "fbserver: started (pid $pid, port $PORT)"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || { rm -f "$PIDFILE"; die "server exited at start: $(cat "$LOGFILE")"; }
        sleep 0.1
    done
    kill -TERM "$pid" 2>/dev/null || true
    rm -f "$PIDFILE"
    die "server did not accept connections on $HOST:$PORT within $((START_WAIT_TENTHS / 10)) s"
}

startSystem() {
    if ownPid >/dev/null; then
        portAccepts && { echo "fbserver: already running (pid $(ownPid))"; return 0; }
    elif portAccepts; then
        setPasswordThroughServer
        echo "fbserver: using the server that already answers on $HOST:$PORT (not started here)"
        return 0
    fi
    rm -f "$PIDFILE"
    setPassword
    # The package's lock folder, as the package makes it; root needs no more.
    if [[ ! -d /tmp/firebird ]]; then
        mkdir -m 0770 /tmp/firebird
        chown firebird:firebird /tmp/firebird 2>/dev/null || true
    fi
    launch
}

startUser() {
    local pid candidate
    if pid=$(ownPid); then
        portAccepts && { echo "fbserver: already running (pid $pid, port $PORT)"; return 0; }
        # Running but deaf: start afresh.
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$PIDFILE" "$STATE/port"
    PORT=
    for candidate in "${PORTS[@]}"; do
        portAccepts "$candidate" || { PORT=$candidate; break; }
    done
    if [[ -z "$PORT" ]]; then
        if [[ -n "${TARVEL_FB_PORT:-}" ]]; then
            die "a server not started by this user answers on $HOST:$TARVEL_FB_PORT; set TARVEL_FB_PORT to a free port"
        fi
        die "ports ${PORTS[0]} to ${PORTS[-1]} of $HOST are all taken; set TARVEL_FB_PORT to a free port"
    fi
    prepareUserServer
    echo "$PORT" > "$STATE/port"
    launch
}

start() {
    [[ -x "$SERVER" ]] || die "$SERVER not installed"
    if [[ $MODE == user ]]; then startUser; else startSystem; fi
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
    local pid
    if [[ $MODE == user ]]; then
        # Only this user's own server counts: another one on the port is not
        # reached through this user's lock folder.
        if pid=$(ownPid) && portAccepts; then
            echo "fbserver: running (pid $pid, port $PORT)"
            return 0
        fi
    elif portAccepts; then
        if pid=$(ownPid); then echo "fbserver: running (pid $pid)"; else echo "fbserver: answering (not started here)"; fi
        return 0
    fi
    echo "fbserver: not running"
    return 1
}

environment() {
    status >/dev/null || die "no server to use: run '$0 start' first"
    echo "export TARVEL_FB_PORT=$PORT"
    if [[ $MODE == user ]]; then
        printf 'export FIREBIRD_LOCK=%q\n' "$STATE/lock"
    fi
}

[[ $MODE == user ]] && userState
case "${1:-}" in
    start) start ;;
    stop) stop ;;
    status) status ;;
    env) environment ;;
    *) echo "usage: $0 start|stop|status|env" >&2; exit 2 ;;
esac
