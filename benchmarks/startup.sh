#!/usr/bin/env bash
# Start-up of tonolot.exe under Wine, from the launch until its window is visible, against a
# minimal program that opens the same wave-out device and shows the same dialog template
# (tests/e2e/startup/MinimalDialog.cpp). The programs start in turn, in a rotating order, in one
# session on a virtual display of our own (Xvfb) with a PulseAudio null sink of our own, so each
# opens a working device.
#
# Usage: benchmarks/startup.sh ROUNDS WINEPREFIX RESULT_FILE NAME=EXE... (one NAME is "minimal")
# for example: startup.sh 15 build/bench-win/wineprefix out.txt tonolot=tonolot.exe
#              minimal=minimal-dialog.exe
# Writes one line per start to RESULT_FILE ("tonolot 0.8123 7": name, seconds, round) and prints
# the median, mean, minimum and maximum of each, each median against the minimal program's, and
# the median of the differences to the minimal program within a round (robust against the load of
# the machine drifting during the run).
# Everything it starts is stopped again on the way out, by pid.
set -uo pipefail

if [ $# -lt 5 ]; then
    echo "usage: $0 ROUNDS WINEPREFIX RESULT_FILE NAME=EXE NAME=EXE..." >&2
    exit 2
fi
rounds=$1
export WINEPREFIX=$2
result=$3
shift 3
names=()
declare -A programs
for pair in "$@"; do
    names+=("${pair%%=*}")
    programs[${pair%%=*}]=$(realpath "${pair#*=}")
done
caption='^Tonolot 0\.8$'

work=$(mktemp -d /tmp/tonolot-startup.XXXXXX)
xvfb_pid=""
pulse_pid=""
program_pid=""

cleanup() {
    set +e
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
    # Our own prefix only: its server and the Wine services it keeps.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    [ -n "$pulse_pid" ] && grep -q pulseaudio "/proc/$pulse_pid/cmdline" 2>/dev/null &&
        kill "$pulse_pid"
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display of our own: Xvfb picks a free number and writes it once it accepts connections;
# -noreset keeps it from resetting between two starts (the next start could meet it mid-reset).
exec 3>"$work/display"
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 1 200); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
if ! xdpyinfo >/dev/null 2>&1; then
    echo "the virtual display (Xvfb) does not accept connections" >&2
    exit 1
fi

# A sound server of our own with a null sink; clients never start one by themselves.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
printf 'autospawn = no\n' >"$work/client.conf"
export PULSE_CLIENTCONFIG="$work/client.conf"
pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=bench" --load="module-native-protocol-unix" \
    --log-target="file:$work/pulse.log" >/dev/null 2>&1
pulse_pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null)
if [ -z "$pulse_pid" ]; then
    echo "startup: the PulseAudio null sink did not start" >&2
    exit 1
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
# The server and Wine's services stay up between the starts: what is measured is the program,
# not the start of Wine's own background processes.
wineserver -p

# Each program in a folder of its own, under its own file name, with a data file of 100 people
# beside it (only Tonolot reads it).
for name in "${names[@]}"; do
    exe=$(basename "${programs[$name]}")
    mkdir -p "$work/$name"
    cp "${programs[$name]}" "$work/$name/$exe"
    {
        printf 'unbekannter Standard\xF7 L 50 53 56 59 62 65 68 71 74 77 R 50 53 56 59 62 65 68 71 74 77'
        for person in $(seq 1 99); do
            printf '\r\nPerson %d\xF7 L 12 40 33 25 61 120 88 19 27 45 R 14 38 30 29 66 131 80 22 25 41' \
                "$person"
        done
    } >"$work/$name/${exe%.*}.def"
done

now_us() { echo "${EPOCHREALTIME/./}"; }

# start NAME: starts the program, waits until its window is visible, closes it; prints seconds.
start() {
    local name=$1 window="" begin end
    begin=$(now_us)
    (cd "$work/$name" && exec wine "$(basename "${programs[$name]}")" >/dev/null 2>&1) &
    program_pid=$!
    for _ in $(seq 1 6000); do
        window=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.005
    done
    end=$(now_us)
    if [ -z "$window" ]; then
        local state=running
        kill -0 "$program_pid" 2>/dev/null || state="ended"
        echo "startup: $name showed no window within $(((end - begin) / 1000)) ms (program $state);" \
            "windows on the display:" >&2
        xdotool search --onlyvisible --name . getwindowname %@ >&2 2>/dev/null
        return 1
    fi
    # A close request, as the title bar's close button gives it; the program ends by itself.
    xdotool key --window "$window" alt+F4 2>/dev/null
    for _ in $(seq 1 200); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$program_pid" 2>/dev/null; then
        echo "startup: $name did not end after its close request" >&2
        kill "$program_pid" 2>/dev/null
    fi
    wait "$program_pid" 2>/dev/null
    program_pid=""
    # Let the window go before the next start looks for one.
    while xdotool search --name "$caption" >/dev/null 2>&1; do sleep 0.05; done
    awk -v t=$((end - begin)) 'BEGIN { printf "%.4f\n", t / 1e6 }'
}

# One start of each, not counted: the files are in the cache and Wine's services run.
for name in "${names[@]}"; do
    start "$name" >/dev/null || exit 1
done

: >"$result"
for round in $(seq 1 "$rounds"); do
    # A rotating order, so no program always follows the same other one.
    count=${#names[@]}
    for step in $(seq 0 $((count - 1))); do
        name=${names[$(((round + step) % count))]}
        seconds=$(start "$name") || exit 1
        echo "$name $seconds $round" >>"$result"
    done
done

awk '
    function median(list,    n, t, i, j, x) {
        n = split(list, t, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (t[j] < t[i]) { x = t[i]; t[i] = t[j]; t[j] = x }
        return n % 2 ? t[(n + 1) / 2] : (t[n / 2] + t[n / 2 + 1]) / 2
    }
    { times[$1] = times[$1] " " $2; at[$1, $3] = $2; sum[$1] += $2; n[$1]++; rounds[$3] = 1
      if (!($1 in low) || $2 < low[$1]) low[$1] = $2
      if (!($1 in high) || $2 > high[$1]) high[$1] = $2 }
    END {
        for (name in times) {
            middle[name] = median(times[name])
            printf "%-10s starts %d  median %.3f s  mean %.3f s  min %.3f s  max %.3f s\n", name, n[name], middle[name], sum[name] / n[name], low[name], high[name]
        }
        for (name in times) {
            if (name == "minimal" || !("minimal" in times)) continue
            differences = ""
            for (r in rounds) if ((name, r) in at && ("minimal", r) in at) differences = differences " " (at[name, r] - at["minimal", r])
            printf "%s / minimal (medians): %.2f; median difference within a round: %+.3f s\n", name, middle[name] / middle["minimal"], median(differences)
        }
    }' "$result"
