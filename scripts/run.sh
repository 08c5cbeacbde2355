#!/usr/bin/env bash
# Sets up, builds and starts Tonolot. Installs what it needs with apt-get. Run it from a desktop
# session:
#   scripts/run.sh            the native Linux program (GTK 3, ALSA)
#   scripts/run.sh --windows  the Windows program, cross-compiled with MinGW-w64, under Wine
# Both keep their records in the same file, ~/.local/share/tonolot/tonolot.def (or under
# $XDG_DATA_HOME); TONOLOT_DATA_FILE names another file for the native program.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

windows=false
case "${1:-}" in
"") ;;
--windows) windows=true ;;
*)
    echo "usage: $0 [--windows]" >&2
    exit 2
    ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tonolot is a desktop program: start this from a graphical session (no DISPLAY is set)." >&2
    exit 1
fi

if ! $windows; then
    "$root/scripts/install-deps.sh" run
    cmake --preset linux-release >/dev/null
    cmake --build --preset linux-release --target tonolot -j "$jobs"
    exec "$root/build/linux-release/tonolot"
fi

"$root/scripts/install-deps.sh" run-windows
cmake --preset windows >/dev/null
cmake --build --preset windows --target tonolot -j "$jobs"

# The Windows program keeps its data file beside itself: run it from the data folder so that it
# uses the same file as the native program and its records survive rebuilds.
home="${XDG_DATA_HOME:-$HOME/.local/share}/tonolot"
mkdir -p "$home"
cp "$root/build/windows/tonolot.exe" "$home/tonolot.exe"

export WINEPREFIX="${WINEPREFIX:-$home/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Wine's PulseAudio driver keeps only about 30 ms in the sound server, and refills it from a
# thread of ordinary priority (Wine cannot raise it without privileges); that thread is sometimes
# late, by up to some tens of ms even on a calm machine, and the tone breaks off for a moment.
# 200 ms of room outlasts a thread held for 100 ms, as a busy machine or a virtual machine's host
# holds one (90 ms still lost 5-20 ms in about one tone in a hundred, under load one in twenty),
# and the press still stores what sounds (docs/performance.md). The variable is the sound
# library's own.
export PULSE_LATENCY_MSEC="${PULSE_LATENCY_MSEC:-200}"
echo "Starting $home/tonolot.exe (records in $home/tonolot.def)"
exec wine "$home/tonolot.exe"
