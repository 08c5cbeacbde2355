#!/usr/bin/env bash
# Fails when the Windows program is larger than it should be: at most 400 KB (409,600 bytes) for
# the statically linked, stripped Release build of tonolot.exe.
# Usage: benchmarks/check-size.sh PATH_TO_tonolot.exe [LIMIT_IN_BYTES]
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 PATH_TO_tonolot.exe [LIMIT_IN_BYTES]" >&2
    exit 2
fi
program=$1
limit=${2:-409600}
if [ ! -f "$program" ]; then
    echo "size check: $program does not exist" >&2
    exit 1
fi
size=$(stat -c %s "$program")
if [ "$size" -gt "$limit" ]; then
    echo "size check: $program has $size bytes, more than the $limit allowed" >&2
    exit 1
fi
echo "size check: $program has $size bytes (at most $limit)"
