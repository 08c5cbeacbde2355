#!/usr/bin/env bash
# Load trials: the left and the right run, answered and stored as in the end-to-end test, while
# stress-ng keeps twice as many workers as there are cores busy. Three trials: the native program
# on PulseAudio, the native program on PipeWire, and tonolot.exe under Wine (on PulseAudio). Each
# tone must play without a dropout. Too long for scripts/test.sh (about 3 to 4 minutes a trial);
# run it by hand: scripts/load-trials.sh [native-pulseaudio|native-pipewire|wine ...]
# TONOLOT_LOAD_TRIALS_TIMES=5 runs each trial five times. The servers run as they ship (PipeWire
# with the settings it takes itself in a virtual machine), and PipeWire is recorded at 100 ms,
# above its largest quantum, which leaves the graph's pace to the program (tests/e2e/run.sh).
# Builds what is missing with the presets (build/linux, build/windows); prints a summary with the
# dropouts per tone, the longest dropout and how far each stored level ran ahead of the loudness
# captured at the press. Exits non-zero if any trial fails.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
"$root/scripts/install-deps.sh" run-windows || exit 1

trials=("$@")
[ ${#trials[@]} -eq 0 ] && trials=(native-pulseaudio native-pipewire wine)
times=${TONOLOT_LOAD_TRIALS_TIMES:-1}
repeated=()
for trial in "${trials[@]}"; do
    for ((round = 1; round <= times; round++)); do
        repeated+=("$trial")
    done
done
trials=("${repeated[@]}")
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2

built() { # built PRESET TARGET FILE: configures and builds one program unless it is there
    [ -f "$3" ] && return 0
    echo "# building $3"
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" --target "$2" \
        >"$root/build/load-trials-build-$1.log" 2>&1 || {
        echo "not ok - building $3 (see build/load-trials-build-$1.log)"
        return 1
    }
}

native="$root/build/linux/tonolot"
windows="$root/build/windows/tonolot.exe"
mkdir -p "$root/build"
failed=0
summary=()
number=0
for trial in "${trials[@]}"; do
    number=$((number + 1))
    case "$trial" in
    native-pulseaudio | native-pipewire)
        program=$native
        built linux tonolot "$native" || exit 1
        ;;
    wine)
        program=$windows
        built windows tonolot "$windows" || exit 1
        ;;
    *)
        echo "unknown trial $trial (native-pulseaudio, native-pipewire or wine)" >&2
        exit 2
        ;;
    esac
    server=pulseaudio latency=10
    [ "$trial" = native-pipewire ] && server=pipewire latency=100
    log="$root/build/artifacts/load-$trial-$number.log"
    mkdir -p "$root/build/artifacts"
    echo
    echo "=== load trial: $trial ($(uptime | sed 's/.*load/load/'))"
    TONOLOT_E2E_LOAD=1 TONOLOT_E2E_SERVER=$server TONOLOT_E2E_RECORD_LATENCY=$latency \
        TONOLOT_E2E_SCENARIOS=bcd \
        "$root/tests/e2e/run.sh" "$program" "$root/build/artifacts/load-$trial-$number" \
        "$root/build/e2e-cache" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    [ "$status" -ne 0 ] && failed=$((failed + 1))
    summary+=("--- $trial ($number): $(tail -n 1 "$log")")
    while IFS= read -r line; do
        summary+=("    ${line:0:600}")
    done < <(grep -E 'dropout|stored level agrees|start delays|restarts|frequency' "$log")
done

echo
echo "=== summary of the load trials (stress-ng --cpu $((2 * $(nproc))))"
printf '%s\n' "${summary[@]}"
echo "trials: $((${#trials[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
