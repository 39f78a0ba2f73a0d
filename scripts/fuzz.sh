#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a bounded time.
# Usage: scripts/fuzz.sh [seconds-per-target]   (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEL_BUILD_APP=OFF -DTARVEL_BUILD_TESTS=OFF -DTARVEL_BUILD_FUZZERS=ON \
    -DCMAKE_C_FLAGS="-fsanitize=address,undefined" -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined" >/dev/null
ninja -C "$build" >/dev/null
status=0
for fuzzer in "$build"/bin/*Fuzz; do
    [ -x "$fuzzer" ] || continue
    corpus="$build/corpus/$(basename "$fuzzer")"
    mkdir -p "$corpus"
    echo "fuzzing $(basename "$fuzzer") for ${seconds}s"
    if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 "$corpus" >"$build/$(basename "$fuzzer").log" 2>&1; then
        tail -40 "$build/$(basename "$fuzzer").log"
        status=1
    fi
done
exit $status
