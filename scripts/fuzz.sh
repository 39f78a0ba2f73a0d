#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them for a bounded time in all:
# the seconds are split evenly among the targets (at least 5 each). Each
# target starts from its seed corpus in tests/fuzz/corpus/<target> (read only)
# and keeps what it finds under build-fuzz/corpus/<target>.
# Usage: scripts/fuzz.sh [total-seconds]   (default 120)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
total=${1:-120}
build="$root/build-fuzz"
# The libraries under test carry coverage too, so that libFuzzer is guided by
# the code it fuzzes and not only by the targets' own checks.
sanitize="-fsanitize=address,undefined,fuzzer-no-link"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEL_BUILD_APP=OFF -DTARVEL_BUILD_TESTS=OFF -DTARVEL_BUILD_FUZZERS=ON \
    -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
ninja -C "$build" >/dev/null
fuzzers=()
for fuzzer in "$build"/bin/*Fuzz; do
    [ -x "$fuzzer" ] && fuzzers+=("$fuzzer")
done
[ ${#fuzzers[@]} -gt 0 ] || { echo "no fuzz targets built"; exit 1; }
seconds=$(( total / ${#fuzzers[@]} ))
[ "$seconds" -ge 5 ] || seconds=5
status=0
for fuzzer in "${fuzzers[@]}"; do
    name=$(basename "$fuzzer")
    corpus="$build/corpus/$name"
    seeds="$root/tests/fuzz/corpus/$name"
    mkdir -p "$corpus"
    dirs=("$corpus")
    [ -d "$seeds" ] && dirs+=("$seeds")
    echo "fuzzing $name for ${seconds}s"
    if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 "${dirs[@]}" >"$build/$name.log" 2>&1; then
        tail -40 "$build/$name.log"
        status=1
    fi
done
exit $status
