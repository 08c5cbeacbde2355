#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (libFuzzer, AddressSanitizer, UBSan) and runs
# each for a bounded time over a fresh copy of its seed corpus. Fails on any finding; the input
# that caused it stays in build/fuzz/findings/<target>/ and reproduces with
#   build/fuzz/fuzz_<target> <file>
# Usage: scripts/fuzz.sh [seconds per target, default 30]
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-30}
build=${TONOLOT_FUZZ_BUILD:-$root/build/fuzz}
targets=(record_line line_reader data_file buffered_read)

compiler=$(command -v clang++ || command -v clang++-14) || {
    echo "fuzz: clang++ not found (packages clang, libclang-rt-14-dev)" >&2
    exit 1
}
cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" >/dev/null &&
    cmake --build "$build" -j 2 || exit 1

# A smaller quarantine than ASan's 256 MB: use after free is still caught across many inputs, and
# the run spends its time on inputs rather than on fresh pages.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32}

# The targets' files live on tmpfs where there is one; a run that ends in a finding leaves its files
# behind, so they go into a folder of this script's own that is removed at the end.
scratch=$(mktemp -d -p "$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")" tonolot-fuzz.XXXXXX) ||
    exit 1
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

# One target per processor at a time: each run is single-threaded, so the targets side by side
# get the same time each and the step takes a fraction of the wall-clock time.
fuzzOne() { # fuzzOne TARGET: runs one target; its result goes to its log
    local target=$1 corpus="$build/corpus/$1" findings="$build/findings/$1"
    local log="$build/logs/$1.log"
    rm -rf "$corpus" "$findings"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    cp "$root/tests/fuzz/corpus/$target/"* "$corpus/"
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1
    echo $? >"$log.status"
}

parallel=$(nproc 2>/dev/null || echo 1)
running=0
for target in "${targets[@]}"; do
    fuzzOne "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$parallel" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

total=0
failed=0
for target in "${targets[@]}"; do
    findings="$build/findings/$target"
    log="$build/logs/$target.log"
    status=$(cat "$log.status" 2>/dev/null || echo 1)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    runs=${runs:-0}
    total=$((total + runs))
    if [ "$status" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
        failed=$((failed + 1))
        echo "fuzz_$target: FINDING after $runs executions (exit $status); log $log"
        grep -E -m 5 "property broken|ERROR: |runtime error" "$log"
        ls "$findings"/* 2>/dev/null | sed 's/^/  reproducer: /'
    else
        echo "fuzz_$target: $runs executions in $seconds s, no finding"
    fi
done
echo "fuzz: $total executions in total, $failed target(s) with findings"
[ "$failed" -eq 0 ]
