# shellcheck shell=bash
# Sourced by run.sh: a sound server of the test's own with a null sink "cap" as the default
# sink, in the private XDG_RUNTIME_DIR, either PulseAudio or PipeWire (with WirePlumber and
# pipewire-pulse, as on current desktops). Each process is waited for until it answers; all of
# them are noted in server_processes ("pid name" lines) to be stopped by pid on the way out.
#
# start_sound_server KIND WORK_DIR sets:
#   pulse_pid         the process that serves the pulse protocol the programs talk to
#                     (pulseaudio, or pipewire-pulse)
#   server_processes  every process started, in the order started
# It prints a reason and returns non-zero when a part does not come up.

pulse_pid=""
server_processes=()

# wait_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_until() {
    local tries=$(($1 * 10))
    shift
    while [ "$tries" -gt 0 ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

alive() { kill -0 "$1" 2>/dev/null; }

start_pulseaudio() {
    local work=$1
    pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
        --load="module-null-sink sink_name=cap" --load="module-native-protocol-unix" \
        --log-target="file:$work/pulse.log" --log-time=1 >/dev/null 2>&1
    # The daemon writes its pid file during start-up; it serves once `pactl info` answers.
    wait_until 10 test -s "$XDG_RUNTIME_DIR/pulse/pid" || {
        echo "PulseAudio wrote no pid file (see pulse.log)"
        return 1
    }
    pulse_pid="$(cat "$XDG_RUNTIME_DIR/pulse/pid")"
    server_processes+=("$pulse_pid pulseaudio")
    wait_until 10 pactl info || {
        echo "PulseAudio does not answer on its socket"
        return 1
    }
}

# write_pipewire_config DIR: what PipeWire's own configuration sets when it runs in a virtual
# machine (its vm.overrides), which it fails to notice on the test machines (no DMI tables): no
# graph quantum below 1024 frames, whatever latency a pulse client asks for. Below that, the
# recorder's 10 ms (parec) forced a quantum of 256 (5.3 ms); whenever the machine's host held
# both of its virtual CPUs for longer than that (15-30 ms seen), the null sink's timer caught up
# with cycles back to back, pipewire-pulse's streams could not answer them in time ("client too
# slow" in pipewire.log) and the sink mixed a quantum without the program's tone: 5 ms of zeros.
write_pipewire_config() {
    mkdir -p "$1/pipewire.conf.d" "$1/pipewire-pulse.conf.d"
    printf 'context.properties = {\n    default.clock.min-quantum = 1024\n}\n' \
        >"$1/pipewire.conf.d/virtual-machine.conf"
    printf 'pulse.properties = {\n    pulse.min.quantum = 1024/48000\n}\n' \
        >"$1/pipewire-pulse.conf.d/virtual-machine.conf"
}

start_pipewire() {
    local work=$1
    # WirePlumber links the streams; it needs a session bus, a private one here.
    dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/bus" \
        --print-address=3 3>"$work/bus-address" >"$work/dbus.log" 2>&1 &
    server_processes+=("$! dbus-daemon")
    wait_until 10 test -s "$work/bus-address" || {
        echo "the session bus did not start"
        return 1
    }
    DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus-address")"
    export DBUS_SESSION_BUS_ADDRESS
    # State and configuration of their own: never what another session's WirePlumber stored.
    # Each in a session of its own, as a desktop runs them as services of their own: the kernel
    # shares the processor between sessions first (autogroups), and in the test's session the
    # load (stress-ng, the other programs) kept pipewire-pulse's main thread, which moves the
    # program's frames into its stream, from running for up to 104 ms (55-83 ms of it runnable
    # and waiting); the stream ran dry meanwhile.
    local own=(setsid env XDG_STATE_HOME="$work/server-state" XDG_CONFIG_HOME="$work/server-config")
    write_pipewire_config "$work/server-config/pipewire"
    "${own[@]}" pipewire >"$work/pipewire.log" 2>&1 &
    server_processes+=("$! pipewire")
    wait_until 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || {
        echo "PipeWire made no socket (see pipewire.log)"
        return 1
    }
    "${own[@]}" wireplumber >"$work/wireplumber.log" 2>&1 &
    server_processes+=("$! wireplumber")
    "${own[@]}" pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
    pulse_pid=$!
    server_processes+=("$pulse_pid pipewire-pulse")
    wait_until 10 pactl info || {
        echo "pipewire-pulse does not answer on its socket"
        return 1
    }
    wait_until 10 sh -c 'pw-cli ls Client | grep -q "application.name = \"WirePlumber\""' || {
        echo "WirePlumber did not connect to PipeWire (see wireplumber.log)"
        return 1
    }
    pactl load-module module-null-sink sink_name=cap >/dev/null &&
        pactl set-default-sink cap || {
        echo "the null sink cap could not be made the default"
        return 1
    }
}

start_sound_server() {
    local kind=$1 work=$2
    case "$kind" in
    pulseaudio) start_pulseaudio "$work" ;;
    pipewire) start_pipewire "$work" ;;
    *)
        echo "unknown sound server $kind (pulseaudio or pipewire)"
        return 1
        ;;
    esac || return 1
    # The sink exists before any program plays: a stream never lands on another one.
    wait_until 10 sh -c 'pactl list short sinks | grep -q "[[:space:]]cap[[:space:]]"' || {
        echo "the null sink cap does not appear"
        return 1
    }
    local entry
    for entry in "${server_processes[@]}"; do
        alive "${entry%% *}" || {
            echo "${entry#* } ended during start-up"
            return 1
        }
    done
}
