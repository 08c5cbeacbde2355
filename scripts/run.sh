#!/usr/bin/env bash
# Sets up, builds and starts Tonolot: the Windows program, cross-compiled with MinGW-w64 and run
# under Wine. Installs what it needs with apt-get. Run it from a desktop session: scripts/run.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" run

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tonolot is a desktop program: start this from a graphical session (no DISPLAY is set)." >&2
    exit 1
fi

cmake --preset windows >/dev/null
cmake --build --preset windows --target tonolot -j "$(nproc 2>/dev/null || echo 2)"

# The program keeps its data file beside itself: run it from a folder of its own so the records
# survive rebuilds.
home="${XDG_DATA_HOME:-$HOME/.local/share}/tonolot"
mkdir -p "$home"
cp "$root/build/windows/tonolot.exe" "$home/tonolot.exe"

export WINEPREFIX="${WINEPREFIX:-$home/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
echo "Starting $home/tonolot.exe (records in $home/tonolot.def)"
exec wine "$home/tonolot.exe"
