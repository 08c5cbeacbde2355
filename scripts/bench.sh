#!/usr/bin/env bash
# Measures Tonolot in one run and prints the table of docs/performance.md: the size of
# tonolot.exe, the tone synthesis per buffer, loading and saving 1,000 / 10,000 / 100,000 records
# against a raw copy of the same bytes with fsync, and the start-up under Wine against a minimal
# dialog program. Not part of scripts/test.sh: timings are compared here, within one run.
# Installs what it needs with apt-get. Run from anywhere: scripts/bench.sh
# TONOLOT_BENCH_ROUNDS (default 20) sets how many starts of each program are measured.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" run-windows

packages=(libbenchmark-dev xvfb xdotool x11-utils pulseaudio python3)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

native="$root/build/bench"
windows="$root/build/bench-win"
results="$native/results"
rounds=${TONOLOT_BENCH_ROUNDS:-20}
mkdir -p "$results"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

echo "=== building (Release)"
cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONOLOT_TESTS=OFF \
    -DTONOLOT_BENCHMARKS=ON >/dev/null
cmake --build "$native" --target tonolot_benchmarks -j 2
cmake -S "$root" -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONOLOT_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$windows" --target tonolot -j 2
# The yardstick of the start-up: Tonolot's own dialog resources and nothing of its code.
x86_64-w64-mingw32-windres -c 1252 -I "$root/src/app/win32" "$root/src/app/win32/tonolot.rc" \
    -O coff -o "$windows/minimal-dialog.res"
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -static -s -mwindows \
    -o "$windows/minimal-dialog.exe" "$root/tests/e2e/startup/MinimalDialog.cpp" \
    "$windows/minimal-dialog.res" -lwinmm

echo "=== size"
"$root/benchmarks/check-size.sh" "$windows/tonolot.exe"

echo "=== tone synthesis and data file (Google Benchmark, medians of 5)"
# The data files lie on the disk of the build folder, so the flushes reach a real disk.
mkdir -p "$native/bench-files"
TONOLOT_BENCH_FOLDER="$native/bench-files" "$native/benchmarks/tonolot_benchmarks" \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$results/benchmarks.json" --benchmark_out_format=json
rm -rf "$native/bench-files"

echo "=== start-up under Wine ($rounds starts of each, alternating)"
"$root/benchmarks/startup.sh" "$rounds" "$windows/wineprefix" "$results/startup.txt" \
    tonolot="$windows/tonolot.exe" minimal="$windows/minimal-dialog.exe"

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
{
    echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"
    echo "load average (1, 5, 15 min) $load_before before and $load_after after the run."
    echo
    python3 "$root/benchmarks/report.py" "$results/benchmarks.json" "$results/startup.txt" \
        "$windows/tonolot.exe"
} | tee "$results/summary.md"
echo
echo "Table written to $results/summary.md"
