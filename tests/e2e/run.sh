#!/usr/bin/env bash
# End-to-end test of the real program, tonolot.exe under Wine or the native Linux tonolot, on a
# virtual display (Xvfb), with a null sink of PulseAudio or PipeWire as the sound card, a
# recording of what the
# program plays from the sink's monitor, and real pointer clicks (xdotool) on its controls.
#
# Usage: tests/e2e/run.sh PATH_TO_tonolot.exe ARTIFACT_DIR [WINEPREFIX_CACHE_DIR]
#        tests/e2e/run.sh PATH_TO_NATIVE_tonolot ARTIFACT_DIR
#        tests/e2e/run.sh --probe ARTIFACT_DIR [WINEPREFIX_CACHE_DIR]
# The kind of program is told by the file itself (a Windows or a Linux executable).
# TONOLOT_E2E_SCENARIOS=ae (for example) runs only some scenarios, for work on them.
# TONOLOT_E2E_INSTALLED=1: the program was installed (by the Debian package or the Windows
# installer): it runs where it lies, its data file where it keeps it by itself; scenario p.
# TONOLOT_E2E_SERVER=pipewire plays through PipeWire (with WirePlumber and pipewire-pulse)
# instead of PulseAudio; TONOLOT_E2E_LOAD=1 keeps every core busy (stress-ng) meanwhile.
# TONOLOT_E2E_RECORD_LATENCY=MS|default: the latency the recorder of the sink asks for
# (harness/capture.py), 10 by default; on PipeWire 100 lets the program's own stream set the
# graph's pace, as on a desktop where nothing records (see the README for what that shows).
# TONOLOT_E2E_WM=openbox puts that window manager on the display, as on a desktop (without it
# the display has none; Wine's windows then take 2 s longer to close).
# The second form checks the harness itself on its own small probe program (tests/e2e/probe).
# Prints one line per check ("ok - ..." / "not ok - ..."), then "N passed, M failed"; exits
# non-zero on any failure. Everything it starts is stopped again on the way out.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=tests/e2e/sound-server.sh
. "$here/sound-server.sh"
server="${TONOLOT_E2E_SERVER:-pulseaudio}"
export TONOLOT_E2E_RECORD_LATENCY="${TONOLOT_E2E_RECORD_LATENCY:-10}"
if [ $# -lt 2 ]; then
    echo "usage: $0 PATH_TO_tonolot.exe|PATH_TO_NATIVE_tonolot|--probe ARTIFACT_DIR" \
        "[WINEPREFIX_CACHE_DIR]" >&2
    exit 2
fi
target="$1"
artifacts="$(mkdir -p "$2" && cd "$2" && pwd)"
cache="${3:-}"

# Windows programs run under Wine; a Linux program (ELF) runs as it is.
kind=wine
if [ "$target" != --probe ]; then
    case "$(head -c 4 "$target" 2>/dev/null | od -An -c | tr -d ' ')" in
    MZ*) kind=wine ;;
    177ELF) kind=native ;;
    *)
        echo "not ok - $target is neither a Windows nor a Linux program"
        echo "0 passed, 1 failed"
        exit 1
        ;;
    esac
fi

# Packages: installed only when missing.
packages=(xvfb xdotool x11-utils imagemagick pulseaudio pulseaudio-utils sox python3
    tesseract-ocr tesseract-ocr-deu procps g++ poppler-utils)
if [ "$server" = pipewire ]; then
    packages+=(pipewire pipewire-bin wireplumber pipewire-pulse dbus)
fi
if [ "${TONOLOT_E2E_LOAD:-0}" = 1 ]; then
    packages+=(stress-ng)
fi
window_manager="${TONOLOT_E2E_WM:-}"
case "$window_manager" in
"") ;;
openbox) packages+=(openbox) ;;
*)
    # One that fills the screen with the window (matchbox) leaves no dialog of its own size.
    echo "not ok - TONOLOT_E2E_WM=$window_manager: only openbox is known to the harness"
    echo "0 passed, 1 failed"
    exit 1
    ;;
esac
if [ "$kind" = wine ]; then
    packages+=(wine wine64)
else
    # ALSA's pulse plugin takes the native program's sound to the null sink; the session bus,
    # the accessibility bus and pyatspi (for the Debian python3) carry scenario s.
    packages+=(libasound2-plugins dbus at-spi2-core python3-pyatspi)
fi
if [ "$target" = --probe ]; then
    packages+=(g++-mingw-w64-x86-64 mingw-w64-tools)
fi
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "# installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null || {
        echo "not ok - installing ${missing[*]}"
        echo "0 passed, 1 failed"
        exit 1
    }
fi

work="$(mktemp -d /tmp/tonolot-e2e.XXXXXX)"
xvfb_pid=""
wm_pid=""
load_pid=""
driver_pid=""

# Ends a process by its pid, only if it still runs the named program (its pid may have been
# given to another process since).
stop_process() {
    cat "/proc/$1/cmdline" 2>/dev/null | tr '\0' ' ' | grep -q -- "$2" && kill "$1" 2>/dev/null
}

cleanup() {
    set +e
    if [ -n "$driver_pid" ]; then
        kill "$driver_pid" 2>/dev/null
        wait "$driver_pid" 2>/dev/null
    fi
    # The test's own processes (parec, the program) are children of the Python driver, which
    # stops them itself; whatever is left of them is ended here by pid.
    if [ -f "$work/pids" ]; then
        while read -r pid name; do stop_process "$pid" "$name"; done <"$work/pids"
    fi
    if [ "${uses_wine:-no}" = yes ] && [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    fi
    if [ -n "$load_pid" ]; then
        kill "$load_pid" 2>/dev/null
        wait "$load_pid" 2>/dev/null
    fi
    # The sound server's processes, the last started first; a stopped one (a hung-server
    # scenario) is continued so that it can end.
    local index entry
    for ((index = ${#server_processes[@]} - 1; index >= 0; index--)); do
        entry="${server_processes[index]}"
        stop_process "${entry%% *}" "${entry#* }" && kill -CONT "${entry%% *}" 2>/dev/null
    done
    for entry in "${server_processes[@]}"; do
        # A child is reaped by wait; the daemonized PulseAudio is watched until it has gone.
        wait "${entry%% *}" 2>/dev/null || wait_until 5 sh -c "! kill -0 ${entry%% *}"
    done
    if [ -n "$wm_pid" ]; then
        kill "$wm_pid" 2>/dev/null
        wait "$wm_pid" 2>/dev/null
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
    # The servers' own logs stay with the artifacts: a hole in a tone may be told there.
    mkdir -p "$artifacts/server-logs" && cp "$work"/*.log "$artifacts/server-logs/" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A virtual display of our own. Xvfb picks a free display number itself and writes it once it
# accepts connections (-displayfd); -noreset keeps it from resetting whenever its last client
# leaves, where a program started right after would meet it mid-reset and find no display.
exec 3>"$work/display"
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_until 20 test -s "$work/display"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
if [ "$DISPLAY" = ":" ] || ! wait_until 10 xdpyinfo; then
    echo "not ok - the virtual display (Xvfb) accepts connections"
    sed 's/^/#   /' "$work/xvfb.log"
    echo "0 passed, 1 failed"
    exit 1
fi

# The window manager, when one is asked for; it serves once it has named itself on the root
# window (_NET_SUPPORTING_WM_CHECK).
if [ -n "$window_manager" ]; then
    "$window_manager" >"$work/wm.log" 2>&1 &
    wm_pid=$!
    if ! wait_until 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
        echo "not ok - the window manager ($window_manager) takes the display"
        sed 's/^/#   /' "$work/wm.log"
        echo "0 passed, 1 failed"
        exit 1
    fi
    echo "# window manager: $window_manager (pid $wm_pid)"
fi

# A sound server of our own with a null sink "cap"; clients never start one by themselves, so
# that a scenario can run the program without any sound server.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" "$work/silent-runtime"
chmod 700 "$XDG_RUNTIME_DIR" "$work/silent-runtime"
printf 'autospawn = no\n' >"$work/client.conf"
export PULSE_CLIENTCONFIG="$work/client.conf"
export HOME="${HOME:-$work}"
if ! start_sound_server "$server" "$work" >"$work/server-problem"; then
    echo "not ok - the sound server ($server) starts: $(cat "$work/server-problem")"
    for log in "$work"/*.log; do sed "s|^|#   $(basename "$log"): |" "$log" | tail -n 5; done
    echo "0 passed, 1 failed"
    exit 1
fi

# Under load: every core kept busy by stress-ng while the program plays. It runs in a session of
# its own, as a load started from a terminal does beside a program started from the desktop (the
# kernel shares the processor between sessions first); in the harness's own session it would
# compete with the program as if it were part of it.
if [ "${TONOLOT_E2E_LOAD:-0}" = 1 ]; then
    setsid stress-ng --cpu $((2 * $(nproc))) --quiet >"$work/stress.log" 2>&1 &
    load_pid=$!
    echo "# under load: stress-ng --cpu $((2 * $(nproc))) (pid $load_pid)"
fi

# Wine: a prefix of our own, kept in the cache folder when one is given. The native program's
# run needs it too when tonolot.exe is to share its data file in scenario r
# (TONOLOT_E2E_WINDOWS_PARTNER: the path of tonolot.exe).
uses_wine=no
if [ "$kind" = wine ] || [ -n "${TONOLOT_E2E_WINDOWS_PARTNER:-}" ]; then
    uses_wine=yes
fi
if [ "$uses_wine" = yes ]; then
    if [ -n "$cache" ]; then
        mkdir -p "$cache"
        export WINEPREFIX="$(cd "$cache" && pwd)/wineprefix"
    else
        export WINEPREFIX="$work/wineprefix"
    fi
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
fi

export PYTHONDONTWRITEBYTECODE=1
status=0
if [ "$target" = --probe ]; then
    x86_64-w64-mingw32-windres -c 1252 "$here/probe/Probe.rc" -O coff -o "$work/probe.res" &&
        x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -static -o "$work/probe.exe" \
            "$here/probe/Probe.cpp" "$work/probe.res" -lwinmm -mwindows || {
        echo "not ok - building the probe"
        echo "0 passed, 1 failed"
        exit 1
    }
    python3 "$here/harness/probe_check.py" "$work/probe.exe" "$artifacts" \
        --silent-runtime-dir "$work/silent-runtime" --pid-file "$work/pids" &
else
    # The stall watcher tells a stall of the whole machine from the program's dropouts.
    g++ -std=c++20 -O2 -pthread -o "$work/stall-watch" "$here/stall/StallWatch.cpp" ||
        echo "# the stall watcher could not be built"
    python3 "$here/harness/scenarios.py" "$target" "$artifacts" \
        --stall-watch "$work/stall-watch" \
        --silent-runtime-dir "$work/silent-runtime" --pid-file "$work/pids" \
        --pulse-pid "$pulse_pid" --sound-server "$server" \
        --server-pids "$(printf '%s\n' "${server_processes[@]}" | tr ' \n' '=,')" \
        --scenarios "${TONOLOT_E2E_SCENARIOS:-abcdefghikmqrs}" \
        ${TONOLOT_E2E_INSTALLED:+--installed} &
fi
# The driver runs in the background so that a signal reaches the trap at once.
driver_pid=$!
wait "$driver_pid" || status=$?
driver_pid=""
exit "$status"
