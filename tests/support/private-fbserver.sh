#!/usr/bin/env bash
# A Firebird server of a test's own, beside the shared one on port 3050: its
# own port, lock folder, configuration and copy of the security database, so
# a test may kill it without touching anything else.
#
#   private-fbserver.sh start <folder> <port>   starts it (the folder is made
#       on first use), waits until 127.0.0.1:<port> accepts, prints its pid
#   private-fbserver.sh kill <folder>           SIGKILLs the server started
#       from that folder and waits until it is gone
#
# Connect as 127.0.0.1/<port>:<database path>, as SYSDBA with the test
# password (TARVEL_FB_PASSWORD, default tarvel-test), which the server's own
# security database, made for it here, holds. Runs as any user: the server
# runs as the caller. TARVEL_FB_CONFIG: lines added to its firebird.conf when
# the folder is first used (WireCrypt = Enabled, for a proxy that reads the
# operations).
set -euo pipefail

root=$(ls -d /usr/lib/*/firebird/3.0 | head -n 1)
password=${TARVEL_FB_PASSWORD:-tarvel-test}
command=${1:?usage: private-fbserver.sh start|kill <folder> [port]}
folder=${2:?folder missing}

case "$command" in
start)
    port=${3:?port missing}
    mkdir -p "$folder/root" "$folder/lock"
    if [ ! -f "$folder/security3.fdb" ]; then
        for item in UDF intl lib plugins firebird.msg plugins.conf fbtrace.conf; do
            ln -sfn "$root/$item" "$folder/root/$item"
        done
        {
            cat /etc/firebird/3.0/firebird.conf
            echo "SecurityDatabase = $folder/security3.fdb"
            echo "RemoteServicePort = $port"
            echo "RemoteBindAddress = 127.0.0.1"
            if [ -n "${TARVEL_FB_CONFIG:-}" ]; then printf '%s\n' "$TARVEL_FB_CONFIG"; fi
        } > "$folder/root/firebird.conf"
        printf 'security.db = %s\n{\n\tRemoteAccess = false\n}\n' "$folder/security3.fdb" > "$folder/root/databases.conf"
        # Made embedded under the server's configuration, so that SYSDBA is
        # created in this file.
        output=$(printf "CREATE DATABASE '%s' USER 'SYSDBA';\nCREATE USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" \
            "$folder/security3.fdb" "$password" |
            FIREBIRD=$folder/root FIREBIRD_LOCK=$folder/lock isql-fb -q 2>&1) && [ -z "$output" ] || {
            rm -f "$folder/security3.fdb"
            echo "private server: making its security database failed: $output" >&2
            exit 1
        }
    fi
    FIREBIRD=$folder/root FIREBIRD_LOCK=$folder/lock setsid /usr/sbin/firebird -p "$port" \
        > "$folder/server.log" 2>&1 < /dev/null &
    pid=$!
    echo "$pid" > "$folder/server.pid"
    for _ in $(seq 150); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$pid"
            exit 0
        fi
        kill -0 "$pid" 2>/dev/null || { cat "$folder/server.log" >&2; exit 1; }
        sleep 0.1
    done
    kill -9 "$pid"
    echo "private server on port $port did not start" >&2
    exit 1
    ;;
kill)
    pid=$(cat "$folder/server.pid")
    kill -9 "$pid" 2>/dev/null || true
    # Gone, or a zombie that no one has reaped yet.
    for _ in $(seq 100); do
        state=$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null || true)
        [ -z "$state" ] || [ "$state" = Z ] && exit 0
        sleep 0.05
    done
    echo "private server $pid did not end" >&2
    exit 1
    ;;
*)
    echo "usage: private-fbserver.sh start|kill <folder> [port]" >&2
    exit 2
    ;;
esac
