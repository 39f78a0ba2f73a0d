#!/usr/bin/env bash
# Builds everything twice (plain, and with AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs every test in both builds, with a Firebird server on 127.0.0.1 for the
# tests that go over TCP; builds and checks the Debian packages; then runs the
# fuzz targets for a bounded time.
# Usage: scripts/test.sh            (after scripts/install.sh; as any user, root not needed)
# Environment: TARVEL_FUZZ_SECONDS (default 120 for all fuzz targets together; 0 skips fuzzing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

status=0
failed=()  # the steps that failed, named again at the end where a log's tail shows them
fail() { status=1; failed+=("$1"); }
# Sources must be as .clang-format formats them.
"$root/scripts/check-format.sh" || fail "format check"

# A compiler cache, where one is installed, makes repeated runs cheaper.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

build() {  # build <folder> [cmake options...]
    local dir=$1; shift
    cmake -S "$root" -B "$root/$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
    ninja -C "$root/$dir"
}

# A warning fails the project's own plain build (a package build only shows
# it). Not the sanitizer build: there GCC 12 warns of values "maybe used
# uninitialized" inside the standard library's regex and function code.
build build -DTARVEL_WARNINGS_AS_ERRORS=ON
build build-asan -DTARVEL_SANITIZE=ON

# The loopback server: stopped at the end when it was not running before
# (one found running is left running). As a user other than root
# it is that user's own server, whose lock folder the tests' embedded
# attachments share (FIREBIRD_LOCK, from "fbserver.sh env"): the package's
# /tmp/firebird is open only to group firebird.
server_was_running=0
"$root/scripts/fbserver.sh" status >/dev/null && server_was_running=1
"$root/scripts/fbserver.sh" start
[ $server_was_running = 1 ] || trap '"$root/scripts/fbserver.sh" stop' EXIT
server_env=$("$root/scripts/fbserver.sh" env)
eval "$server_env"
export TARVEL_REQUIRE_SERVER=1
# Firebird's own libraries keep process-wide caches until exit; ours must not leak.
# use_tls=0: at exit, LeakSanitizer's walk over the dynamic thread-local blocks
# of the libraries Firebird loads meets a bogus block range and crashes on this
# glibc; thread-local storage is then not taken as a root of live memory.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0:use_tls=0"
export TARVEL_FB_PASSWORD=${TARVEL_FB_PASSWORD:-tarvel-test}

# Each ctest run lists the tests that failed at its end.
ctest --test-dir "$root/build" --output-on-failure -j2 || fail "tests, plain build"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$root/build-asan" --output-on-failure -j2 ||
    fail "tests, sanitizer build"

# The Debian packages: built by dpkg-buildpackage in a copy under /tmp, checked unpacked.
"$root/tests/package/package-test.sh" || fail "package checks"

seconds=${TARVEL_FUZZ_SECONDS:-120}
if [ "$seconds" != 0 ]; then
    "$root/scripts/fuzz.sh" "$seconds" || fail "fuzzing"
fi

if [ $status -eq 0 ]; then
    echo "ALL TESTS PASSED"
else
    echo "SOME TESTS FAILED:"
    printf '  %s\n' "${failed[@]}"
fi
exit $status
