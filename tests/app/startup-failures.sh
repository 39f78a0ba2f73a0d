#!/usr/bin/env bash
# Start-up failures before the window exists: without a display, with a
# platform plugin that cannot load, and with Qt's own options on the command
# line (which the program ignores, so they cannot rescue a missing display),
# the program prints the fatal error text and exits with code 1.
# Usage: startup-failures.sh <TarvelReset>
set -uo pipefail

program=$1
pattern='^Exception tarvel::Error in module TarvelReset at [0-9A-F]{8,}\.'
failures=0

expect_fatal() {  # expect_fatal <what> <command...>
    local what=$1; shift
    local output code
    output=$(timeout 30 "$@" 2>&1 >/dev/null)
    code=$?
    if [ "$code" != 1 ]; then
        echo "FAIL: $what: exit code $code, expected 1"; failures=$((failures + 1))
    elif ! printf '%s\n' "$output" | grep -Eq "$pattern"; then
        echo "FAIL: $what: no fatal error text in: $output"; failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

expect_fatal "no display" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program"
expect_fatal "platform plugin that cannot load" env QT_QPA_PLATFORM=no-such-platform "$program"
expect_fatal "no display, Qt options given" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    "$program" -platform offscreen -qwindowtitle Other
[ "$failures" = 0 ]
