#!/usr/bin/env bash
# Builds and runs the rebuild benchmark: the table of every variant for the
# given sizes (default 10000 100000) embedded and over the loopback server,
# and over a slower network (the server through the delay proxy, which adds a
# round trip of each of BENCH_DELAYS), then the window under Xvfb against the
# headless run on one database, then (when asked) three rebuilds in one process.
# Usage: scripts/bench.sh [sizes...]          e.g. scripts/bench.sh 10000 100000 1000000
# Environment:
#   TARVEL_BUILD_DIR     build folder (default build)
#   TARVEL_FB_PASSWORD   SYSDBA password of the server on 127.0.0.1:3050 (default tarvel-test);
#                        without a server the TCP rows are left out. A server started with
#                        scripts/fbserver.sh is used on its port, with its lock folder
#   BENCH_DELAYS         added round trips in ms (default "0 1 20"); 0: the embedded and plain
#                        loopback rows at the given sizes, N: the server rows (forced writes off)
#                        through the delay proxy with N ms added, at BENCH_DELAYED_LINES
#   BENCH_DELAYED_LINES  lines of the rows through the delay proxy (default 10000)
#   BENCH_BUDGET         seconds a per-line-commit variant may run (default 15; 0: no limit);
#                        through the delay proxy g gets it too
#   BENCH_WINDOW_LINES   lines of the window comparison (default 100000; 0 skips it)
#   BENCH_WINDOW_RUNS    window and headless runs each (default 2)
#   BENCH_LOAD_LINES     lines of the three-rebuild load run (default 0: skipped; e.g. 1000000)
#   BENCH_LOAD_CONFIG    its access and forced writes (default embedded-off; embedded-on, server-off, server-on)
# Needs what scripts/install.sh installs (Firebird, Xvfb, openbox, xdotool, xclip, time).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVEL_BUILD_DIR:-$root/build}
bin=$build/bin
export TARVEL_FB_PASSWORD=${TARVEL_FB_PASSWORD:-tarvel-test}
if server_env=$("$root/scripts/fbserver.sh" env 2>/dev/null); then eval "$server_env"; fi

sizes=$(IFS=,; echo "${*:-10000,100000}")
configs=()
for delay in ${BENCH_DELAYS:-0 1 20}; do
    case $delay in
        0) configs+=(embedded-off embedded-on server-off server-on) ;;
        *[!0-9.]*) echo "bench.sh: BENCH_DELAYS holds '$delay', not a number of milliseconds" >&2; exit 2 ;;
        *) configs+=("server-off-${delay}ms") ;;
    esac
done
window_lines=${BENCH_WINDOW_LINES:-100000}
targets=(tarvel_bench tarvel_bench_program tarvel_delay_proxy tarvel-rebuild fbsqldrv)
[ "$window_lines" != 0 ] && targets+=(TarvelReset)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" >/dev/null
nice ninja -C "$build" "${targets[@]}" >/dev/null

echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
    "$(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo), $(. /etc/os-release && echo "$PRETTY_NAME")," \
    "Firebird $(dpkg-query -W -f '${Version}' firebird3.0-server-core 2>/dev/null || echo '?'), $(date -u +%Y-%m-%d)"
status=0
if [ ${#configs[@]} -gt 0 ]; then
    "$bin/tarvel_bench" --sizes "$sizes" --delayed-sizes "${BENCH_DELAYED_LINES:-10000}" \
        --configs "$(IFS=,; echo "${configs[*]}")" --budget "${BENCH_BUDGET:-15}" || status=$?
fi

work=$(mktemp -d /tmp/tarvel-bench-run.XXXXXX)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
if [ "$window_lines" != 0 ]; then
    echo
    echo "Window under Xvfb against the headless run, $window_lines lines, embedded, forced writes off:"
    "$bin/tarvel_bench" --make-template "$work/window.fdb" --size "$window_lines"
    "$root/bench/window-run.sh" "$bin" "$work/window.fdb" "${BENCH_WINDOW_RUNS:-2}" || status=1
    rm -f "$work/window.fdb"
fi
load_lines=${BENCH_LOAD_LINES:-0}
if [ "$load_lines" != 0 ]; then
    echo
    "$bin/tarvel_bench" --load --size "$load_lines" --configs "${BENCH_LOAD_CONFIG:-embedded-off}" || status=1
fi
exit $status
