"""Turns one run of scripts/bench.sh into the table of docs/performance.md.

Usage: python3 report.py BENCHMARKS_JSON STARTUP_RESULTS TONOLOT_EXE
Every comparison in the table is between figures of this one run.
"""

import json
import os
import statistics
import sys

BUFFER_SECONDS = 1024 / 44100
SIZE_LIMIT = 400 * 1024
LOAD_SAVE_TARGET = 5.0
STARTUP_TARGET = 1.2


def medians(path):
    """{name: (real ms, cpu ms)} from the medians of the repetitions."""
    with open(path) as file:
        runs = json.load(file)["benchmarks"]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    result = {}
    for run in runs:
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        if "BigO" in run["name"] or "RMS" in run["name"]:
            continue
        name = run.get("run_name", run["name"])
        factor = scale[run.get("time_unit", "ns")]
        result[name] = (run["real_time"] * factor, run["cpu_time"] * factor)
    return result


def startup(path):
    """{name: [seconds]} and {name: {round: seconds}} of the start-up comparison."""
    times = {}
    rounds = {}
    with open(path) as file:
        for line in file:
            name, seconds, round_number = line.split()
            times.setdefault(name, []).append(float(seconds))
            rounds.setdefault(name, {})[round_number] = float(seconds)
    return times, rounds


def verdict(ratio, target):
    return "met" if ratio <= target else "not met"


def main():
    runs = medians(sys.argv[1])
    starts, rounds = startup(sys.argv[2])
    size = os.path.getsize(sys.argv[3])

    print("| measurement | Tonolot | yardstick | ratio | target |")
    print("|---|---|---|---|---|")
    print(f"| size of tonolot.exe (Release) | {size:,} bytes | 400 KB = {SIZE_LIMIT:,} bytes | "
          f"{size / SIZE_LIMIT:.2f} | {verdict(size / SIZE_LIMIT, 1.0)} |")
    for hz in (70, 1000, 12000):
        real, cpu = runs[f"FillBuffer/{hz}"]
        print(f"| tone synthesis, one 1024-frame buffer at {hz} Hz (CPU) | {cpu * 1000:.1f} µs "
              f"| the buffer lasts {BUFFER_SECONDS * 1000:.1f} ms | "
              f"{cpu / (BUFFER_SECONDS * 1000):.5f} | well below 1 |")
    for count in (1000, 10000, 100000):
        load = runs[f"LoadRecords/{count}"]
        save = runs[f"SaveRecords/{count}"]
        both = runs[f"LoadAndSave/{count}"]
        calls = runs[f"ReaderCallsOnly/{count}"]
        copy = runs[f"RawCopy/{count}"]
        ratio = both[0] / copy[0]
        target = verdict(ratio, LOAD_SAVE_TARGET) if count == 100000 else "-"
        print(f"| load + save of {count:,} records, wall (CPU) | {both[0]:.1f} ms ({both[1]:.1f}): "
              f"load {load[0]:.1f} ({load[1]:.1f}), save {save[0]:.1f} ({save[1]:.1f}) "
              f"| raw copy with fsync {copy[0]:.1f} ms ({copy[1]:.1f}); the reader's read and "
              f"seek calls alone {calls[0]:.1f} ms ({calls[1]:.1f}) | {ratio:.1f}; calls alone "
              f"{calls[0] / copy[0]:.1f} | {target} |")
    tonolot = statistics.median(starts["tonolot"])
    minimal = statistics.median(starts["minimal"])
    ratio = tonolot / minimal
    paired = statistics.median(rounds["tonolot"][r] - rounds["minimal"][r]
                               for r in rounds["tonolot"] if r in rounds["minimal"])
    print(f"| start-up under Wine until the window is visible, median of "
          f"{len(starts['tonolot'])} (min-max) | {tonolot:.3f} s ({min(starts['tonolot']):.3f}-"
          f"{max(starts['tonolot']):.3f}) | minimal dialog program {minimal:.3f} s "
          f"({min(starts['minimal']):.3f}-{max(starts['minimal']):.3f}) | {ratio:.2f}; "
          f"{paired * 1000:+.0f} ms within a round | {verdict(ratio, STARTUP_TARGET)} |")

if __name__ == "__main__":
    main()
