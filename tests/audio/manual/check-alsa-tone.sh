#!/bin/sh
# Plays AlsaToneCheck (WaveStreamer + AlsaWaveOut on ALSA's "default") into a private PulseAudio
# null sink, records the sink and compares the recording sample by sample with the tone that was
# synthesised: one channel only, 1000 Hz, every buffer once and in order at 1.015 times the level
# of the one before, and no silent stretch inside the tone. Then, with the server gone, the open
# must fail with "-30 = Ungültige Geräte-ID".
#
# ALSA's "default" goes to PulseAudio (or to PipeWire's PulseAudio server) through the pulse
# plugin of libasound2-plugins whenever a server is running when the program starts
# (/etc/alsa/conf.d/99-pulse.conf); the pulseaudio package depends on it.
#
# Needs the native build of the libraries (cmake --build <dir> --target tonolot_desktop) and the
# packages g++, libasound2-dev, libasound2-plugins, pulseaudio, pulseaudio-utils, python3
# (alsa-utils, if there, shows where "default" goes). Gaps are to be expected on a machine whose
# cores are busy with other work.
# Usage: tests/audio/manual/check-alsa-tone.sh <native build dir> [seconds] [runs] [stall ms]
#        [restart after s]
# A stall (the notification thread held once) or a restart (Stop and Start without Close) each
# allow one silent stretch, and one jump forward past the buffers filled but dropped.
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-6}
runs=${3:-1}
stall=${4:-0}
restart=${5:-0}
breaks=0
[ "$stall" -gt 0 ] && breaks=$((breaks + 1))
[ "$restart" != 0 ] && breaks=$((breaks + 1))
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

g++ -std=c++20 -O2 -Wall -Wextra -I"$root/src" "$here/AlsaToneCheck.cpp" \
    "$build/libtonolot_desktop.a" "$build/libtonolot_core.a" -lasound -pthread \
    $(pkg-config --cflags --libs gio-2.0) -o "$build/AlsaToneCheck"

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=cap" --load="module-native-protocol-unix" \
    --log-target=file:"$XDG_RUNTIME_DIR/pa.log"
sleep 1
pa=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
trap 'kill "$pa" 2>/dev/null || true' EXIT
if command -v aplay >/dev/null &&
    ! aplay -L 2>/dev/null | grep -A1 '^default$' | grep -q PulseAudio; then
    echo "FAIL: ALSA's default device does not go to PulseAudio (libasound2-plugins missing?)"
    exit 1
fi

cat > "$work/check.py" <<'PY'
import math, sys
from array import array
sys.path.insert(0, sys.argv[4])
import analysis

raw = open(sys.argv[1], 'rb').read()
fills, start, breaks = int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[5])
recording = analysis.Recording()
recording.append_bytes(raw)
left, right = recording.left, recording.right

# The tone as AlsaToneCheck synthesises it, buffer after buffer.
expected = array('h')
level, phase = start, 0.0
for _ in range(fills):
    amplitude = level
    if level < 30000.0:
        level = min(30000.0, max(level, 0.9) * 1.015)
    p = phase
    for _ in range(1024):
        expected.append(int(math.sin(p) * amplitude))
        p += 0.00014247585730565955 * 1000.0
    while p > 6.283185307179586:
        p -= 6.283185307179586
    phase = p

failures = []
if max(right) or min(right):
    failures.append('the right channel is not silent (peak %d)' % max(max(right), -min(right)))
loud = [i for i, v in enumerate(left) if v]
if not loud:
    print('FAIL: no tone was recorded')
    sys.exit(1)
first, last = loud[0], loud[-1]

def matches(r, e, length=256):
    return all(left[r + k] == expected[e + k] for k in range(length)
               if r + k <= last and e + k < len(expected))

def realign(r, e, reach):
    for shift in sorted(range(-reach, reach + 1), key=abs):
        if 0 <= e + shift < len(expected) and matches(r, e + shift):
            return e + shift
    return None

e = next(i for i, v in enumerate(expected) if v)
r = first
if first < 4410 or not matches(r, e):
    failures.append('the recording does not begin with the tone\'s first buffer')
gaps, jumps, wrong = [], [], 0
while r <= last and e < len(expected):
    if left[r] == expected[e]:
        r += 1
        e += 1
        continue
    zeros = 0
    while r + zeros <= last and left[r + zeros] == 0:
        zeros += 1
    if zeros > 30:
        gaps.append((r - first, zeros))
        r += zeros
        found = realign(r, e, 8)
    else:
        found = None
    if found is None:
        found = realign(r, e, 8192)
        if found is None:
            wrong += 1
            r += 1
            e += 1
            continue
        jumps.append((r - first, found - e))
    e = found
heard = e / 1024.0

tones = analysis.find_tones(recording, min_gap_seconds=0.05)
tone = max(tones, key=lambda t: t.seconds)
print('tone of %.3f s: %s' % ((last - first) / 44100.0, tone.describe()))
print('%.1f of %d buffers heard, %d gap(s), %d jump(s), %d sample(s) unlike the synthesis'
      % (heard, fills, len(gaps), len(jumps), wrong))
for at, length in gaps[:20]:
    print('  gap of %d frames (%.1f ms) at %.3f s' % (length, length / 44.1, at / 44100.0))
for at, shift in jumps[:20]:
    print('  jump by %+d frames at %.3f s' % (shift, at / 44100.0))
if len(gaps) > breaks:
    failures.append('silent stretches inside the tone')
if len(jumps) > breaks or wrong or any(not 0 < shift <= 5 * 1024 for _, shift in jumps):
    failures.append('buffers missing, repeated or unlike the synthesis')
if not fills - 5 - 5 * breaks <= heard <= fills:
    failures.append('%.1f buffers heard of %d filled' % (heard, fills))
if tone.frequency is None or abs(tone.frequency - 1000.0) > 5.0:
    failures.append('frequency %s Hz' % tone.frequency)
if tone.growth is None or abs(tone.growth - 1.015) > 0.001:
    failures.append('growth %s per buffer' % tone.growth)
for failure in failures:
    print('FAIL: ' + failure)
if not failures:
    print('OK: one channel, 1000 Hz, rising by 1.015 per buffer, gap-free%s'
          % (' apart from the %d break(s) asked for' % breaks if breaks else ''))
sys.exit(1 if failures else 0)
PY

status=0
run=1
while [ "$run" -le "$runs" ]; do
    echo "run $run: load average $(cut -d' ' -f1-3 /proc/loadavg)"
    parec -d cap.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 \
        > "$work/out$run.raw" &
    rec=$!
    waited=0
    while [ "$(stat -c %s "$work/out$run.raw")" -lt 17640 ] && [ "$waited" -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    played=$("$build/AlsaToneCheck" "$seconds" 30 default "$stall" "$restart") || {
        echo "FAIL: the tone program failed"; status=1; }
    echo "$played"
    sleep 0.5
    kill "$rec" || true
    wait "$rec" 2>/dev/null || true
    fills=$(echo "$played" | sed -n 's/.* \([0-9]*\) buffers filled.*/\1/p')
    python3 "$work/check.py" "$work/out$run.raw" "${fills:-0}" 30 "$root/tests/e2e/harness" \
        "$breaks" ||
        status=1
    run=$((run + 1))
done

kill "$pa"
trap - EXIT
sleep 1
echo "without a sound server:"
if "$build/AlsaToneCheck" 1 2>"$work/boxes.txt" >/dev/null; then
    echo "FAIL: the device opened without a server"
    status=1
fi
boxes=$(iconv -f CP1252 -t UTF-8 "$work/boxes.txt")
echo "$boxes" | grep -A1 '^box' || true
echo "$boxes" | grep -q -- '-30 = Ungültige Geräte-ID' || {
    echo "FAIL: no box with -30 = Ungültige Geräte-ID"; status=1; }
echo "recordings kept in $work"
exit "$status"
