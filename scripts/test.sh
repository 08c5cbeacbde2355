#!/usr/bin/env bash
# Sets up and runs every test: the unit tests natively, under AddressSanitizer/UBSan and under
# ThreadSanitizer; the Windows build with its unit tests under Wine; the data file's save as an
# unprivileged user and killed at random moments; the data file's readers fuzzed for a bounded
# time; the end-to-end tests of the real programs, tonolot.exe under Wine and the native one (on
# PulseAudio and on PipeWire), with a virtual display and a null sound card; and the Debian
# package and the Windows installer, each installed and its program started.
# Installs what it needs with apt-get. Run from anywhere: scripts/test.sh
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" test || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0
failures=()
failureLogs=()
logs="$root/build/artifacts/steps"
mkdir -p "$logs"

step() { # step NAME COMMAND...: runs one step and counts it
    local name=$1
    shift
    echo
    echo "=== $name"
    local started=$SECONDS log="$logs/step-$((passed + failed + 1)).log"
    "$@" 2>&1 | tee "$log"
    if [ "${PIPESTATUS[0]}" -eq 0 ]; then
        passed=$((passed + 1))
        echo "=== $name: passed ($((SECONDS - started)) s)"
    else
        failed=$((failed + 1))
        failures+=("$name")
        failureLogs+=("$log")
        echo "=== $name: FAILED ($((SECONDS - started)) s)"
    fi
}

# What made a step fail, again at the very end, where a shortened log still shows it: its
# failed checks and its last lines.
summarizeFailures() {
    local i
    for i in "${!failures[@]}"; do
        echo
        echo "=== why \"${failures[$i]}\" failed"
        [ -n "${failureLogs[$i]:-}" ] || continue
        grep -E '^(not ok|\[  FAILED  \]|.*(Error|error:|FAIL))' "${failureLogs[$i]}" | head -n 40
        echo "--- its last lines:"
        tail -n 15 "${failureLogs[$i]}"
    done
}

native() { # native PRESET: configure, build and test one native configuration
    # The tests of the GTK window need a display: a virtual one of their own, which must not
    # reset when one test program leaves it (the next one could meet it mid-reset).
    cmake --preset "$1" >/dev/null &&
        cmake --build --preset "$1" -j "$jobs" &&
        xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" ctest --preset "$1" \
            -j "$jobs"
}

# Wine keeps its state in a prefix of our own inside the build folder; no dialogs for the .NET
# and HTML engines it would otherwise offer to install.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

windowsUnitTests() {
    cmake --preset windows >/dev/null &&
        cmake --build --preset windows -j "$jobs" &&
        { [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1; } &&
        ctest --preset windows
}

# The data file's save: the tests of a folder without write permission as an unprivileged user
# (the super-user may create files in any folder), then the save killed at random moments, 1000
# times natively with SIGKILL and 200 times under Wine with TerminateProcess.
# The Windows save on a small disk that fills up (the native tests mount their own): a tmpfs of
# 1 MB, which only the super-user may mount.
smallDiskUnderWine() {
    local disk=$1/small status
    mkdir "$disk" && mount -t tmpfs -o size=1m tonolot-test "$disk" || return 1
    TONOLOT_SMALL_DISK="Z:$disk" wine "$root/build/windows/tests/test_records.exe" \
        --gtest_filter='DataFileSaveFailure.FullDisk*'
    status=$?
    umount "$disk"
    return $status
}

savingTrials() {
    local folder result
    folder=$(mktemp -d) || return 1
    chmod 755 "$folder"
    local runAs=()
    if [ "$(id -u)" -eq 0 ]; then
        id -u tonolot-test >/dev/null 2>&1 || useradd -M -r -s /usr/sbin/nologin tonolot-test ||
            return 1
        runAs=(setpriv --reuid=tonolot-test --regid=tonolot-test --clear-groups env TMPDIR=/tmp)
    fi
    install -m 755 "$root/build/linux/tests/test_records" "$root/build/linux/tests/test_support" \
        "$folder/" &&
        "${runAs[@]}" "$folder/test_records" --gtest_filter='DataFile*' | tee "$folder/user.log" &&
        "${runAs[@]}" "$folder/test_support" --gtest_filter='FileCalls*' | tee -a "$folder/user.log" &&
        # Another user (the super-user) plants links and owns files in a shared sticky folder.
        { [ ${#runAs[@]} -eq 0 ] ||
            "$folder/test_support" --gtest_filter='SharedFolder*' | tee -a "$folder/user.log"; } &&
        { [ ${#runAs[@]} -eq 0 ] || smallDiskUnderWine "$folder" | tee -a "$folder/user.log"; } &&
        ! grep -q '^\[  SKIPPED \]' "$folder/user.log" &&
        "$root/build/linux/tests/crash/kill_trials" "$root/build/linux/tests/crash/save_trial" \
            "$folder/native" 1000 &&
        wine "$root/build/windows/tests/crash/kill_trials.exe" \
            "$root/build/windows/tests/crash/save_trial.exe" "Z:$folder/wine" 200 &&
        "$root/build/linux/tests/crash/together_trials" "$root/build/linux/tests/crash/save_trial" \
            "$root/build/windows/tests/crash/save_trial.exe" "$folder/together" 30
    result=$?
    rm -rf "$folder"
    return $result
}

# tonolot.exe runs with a window manager on its display, as on a desktop: without one, Wine waits
# 2 s for an answer at every close, and the close during a hung sound server could not be held
# to the 2 s the native program is held to.
endToEnd() {
    mkdir -p "$root/build/artifacts"
    TONOLOT_E2E_WM=openbox "$root/tests/e2e/run.sh" "$root/build/windows/tonolot.exe" \
        "$root/build/artifacts/e2e" "$root/build/e2e-cache"
}

# The native program's end-to-end runs go side by side, each with a display and a sound server
# of its own: the mouse-driven scenarios on PulseAudio, the keyboard and accessibility-tree runs,
# and the two-ear test with a hung server on PipeWire. The program's audio thread runs at
# real-time priority, so the runs do not take each other's sound; the harness's own checks allow
# for a busy machine. tonolot.exe under Wine has no such priority and runs alone.
endToEndNative() {
    local program="$root/build/linux/tonolot" out="$root/build/artifacts" status=0
    mkdir -p "$out"
    local names=("PulseAudio, by mouse" "by keyboard and through the accessibility tree"
        "PipeWire")
    local pids=()
    # The scenarios are shared out so that no run takes much longer than the others (four and a
    # half to six and a half minutes). Scenario r also puts tonolot.exe beside the native program
    # on one data file, in the Wine prefix the run under Wine left.
    TONOLOT_E2E_SCENARIOS=abcdefghim "$root/tests/e2e/run.sh" "$program" \
        "$out/e2e-native" "$root/build/e2e-cache" >"$out/e2e-native.log" 2>&1 &
    pids+=($!)
    TONOLOT_E2E_WINDOWS_PARTNER="$root/build/windows/tonolot.exe" TONOLOT_E2E_SCENARIOS=ksqr \
        "$root/tests/e2e/run.sh" "$program" "$out/e2e-native-keys" \
        >"$out/e2e-native-keys.log" 2>&1 &
    pids+=($!)
    # PipeWire recorded as a listener's desktop leaves its graph: the recorder asks for more
    # than the largest quantum, so the program's own stream sets the pace.
    TONOLOT_E2E_SERVER=pipewire TONOLOT_E2E_RECORD_LATENCY=100 TONOLOT_E2E_SCENARIOS=bcdfim \
        "$root/tests/e2e/run.sh" "$program" "$out/e2e-native-pipewire" \
        >"$out/e2e-native-pipewire.log" 2>&1 &
    pids+=($!)
    local logs=("$out/e2e-native.log" "$out/e2e-native-keys.log" "$out/e2e-native-pipewire.log")
    for i in 0 1 2; do
        local result=0
        wait "${pids[$i]}" || result=$?
        echo "--- native program, ${names[$i]} (exit $result)"
        cat "${logs[$i]}"
        [ "$result" -eq 0 ] || status=1
    done
    return $status
}

step "unit tests (native)" native linux
step "unit tests (AddressSanitizer + UBSan)" native linux-asan
step "threaded tests (ThreadSanitizer)" native linux-tsan
step "Windows build and unit tests under Wine" windowsUnitTests
step "size of tonolot.exe (at most 400 KB)" "$root/benchmarks/check-size.sh" \
    "$root/build/windows/tonolot.exe"
step "saving: unprivileged user, shared folder, kill trials natively and under Wine, both together" savingTrials
step "fuzzing the data file's readers (30 s a target)" "$root/scripts/fuzz.sh" 30
if [ -x "$root/build/windows/tonolot.exe" ] || [ -f "$root/build/windows/tonolot.exe" ]; then
    step "end-to-end test of tonolot.exe under Wine" endToEnd
else
    failed=$((failed + 1))
    failures+=("end-to-end test: tonolot.exe was not built")
    failureLogs+=("")
fi
if [ -x "$root/build/linux/tonolot" ]; then
    step "end-to-end tests of the native program (PulseAudio; keyboard and screen reader; PipeWire)" \
        endToEndNative
else
    failed=$((failed + 1))
    failures+=("end-to-end test: the native tonolot was not built")
    failureLogs+=("")
fi

# The two packages are made and tried side by side: each has a build folder, a display, a sound
# server and a Wine prefix of its own, and their programs only have to be heard at all.
windowsPackageLog="$logs/package-windows.log"
"$root/scripts/package-windows.sh" >"$windowsPackageLog" 2>&1 &
windowsPackage=$!
step "Debian package: lintian, AppStream, desktop entry, the installed program" \
    "$root/scripts/package-deb.sh"
# Waited for here: a step runs in a pipeline, whose shell is not the background job's parent.
windowsPackageResult=0
wait "$windowsPackage" || windowsPackageResult=$?
windowsInstaller() {
    cat "$windowsPackageLog"
    return "$windowsPackageResult"
}
step "Windows installer under Wine (made beside the Debian package): install, the installed program, uninstall" \
    windowsInstaller

summarizeFailures
echo
[ ${#failures[@]} -gt 0 ] && printf 'failed: %s\n' "${failures[@]}"
echo "steps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
