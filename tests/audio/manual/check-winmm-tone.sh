#!/bin/sh
# Plays WinmmToneCheck.exe under Wine into a PulseAudio null sink, records the sink and checks
# the tone for gaps. Needs the Windows build of the core (cmake with the MinGW toolchain file,
# target tonolot_core) and the packages wine, pulseaudio, pulseaudio-utils, python3.
# Usage: tests/audio/manual/check-winmm-tone.sh <windows build dir> [seconds]
# Gaps are to be expected on a machine whose cores are busy with other work.
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-3}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -I"$root/src" \
    "$here/WinmmToneCheck.cpp" "$build/libtonolot_core.a" -lwinmm -static \
    -o "$build/WinmmToneCheck.exe"

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/run" WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
mkdir -m 700 "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=cap" --load="module-native-protocol-unix" \
    --log-target=file:"$XDG_RUNTIME_DIR/pa.log"
sleep 1
pa=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
parec -d cap.monitor --format=s16le --rate=44100 --channels=2 > "$work/out.raw" &
rec=$!
sleep 0.5
status=0
wine "$build/WinmmToneCheck.exe" "$seconds" || status=$?
sleep 0.5
kill "$rec" || true
wait "$rec" 2>/dev/null || true
kill "$pa" || true
echo "recording kept in $work/out.raw"
[ "$status" -eq 0 ] || { echo "the tone program failed ($status)"; exit "$status"; }

python3 - "$work/out.raw" "$seconds" <<'PY'
import math, struct, sys
raw = open(sys.argv[1], 'rb').read()
seconds = float(sys.argv[2])
frames = len(raw) // 4
left = struct.unpack('<%dh' % (frames * 2), raw[:frames * 4])[0::2]
loud = [i for i, v in enumerate(left) if abs(v) > 2000]
if not loud:
    print('FAIL: no tone was recorded'); sys.exit(1)
first, last = loud[0], loud[-1]
# A 1000 Hz sine rises above 2000 every 22 frames; anything longer without it is a gap.
longest = max(b - a for a, b in zip(loud, loud[1:]))
peak = max(abs(v) for v in left[first:last + 1])
duration = (last - first) / 44100.0
print('tone %.3f s long, peak %d, longest quiet stretch %d frames' % (duration, peak, longest))
gaps = [(a, b - a) for a, b in zip(loud, loud[1:]) if b - a > 30]
for start, length in gaps[:20]:
    print('  gap of %d frames (%.1f ms) at %.3f s' % (length, length / 44.1, (start - first) / 44100.0))
if len(gaps) > 20:
    print('  ... %d gaps in all' % len(gaps))
# Wine's first few hundred milliseconds may not reach the sink, so the length is only shown.
ok = longest <= 30 and abs(peak - 10000) <= 2
print('OK: continuous tone' if ok else 'FAIL: gap or wrong level')
sys.exit(0 if ok else 1)
PY
