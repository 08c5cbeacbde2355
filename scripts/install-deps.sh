#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build, the tests or the program need, if missing.
# Usage: scripts/install-deps.sh build|run|run-windows|test
set -euo pipefail

# The native program (GTK 3, cairo, ALSA) and the Windows cross build.
build=(cmake ninja-build g++ make pkg-config libgtest-dev libgtk-3-dev libasound2-dev
    fonts-dejavu-core g++-mingw-w64-x86-64 mingw-w64-tools)
# ALSA's default device reaches PulseAudio or PipeWire through the pulse plugin.
native=(cmake ninja-build g++ pkg-config libgtk-3-dev libasound2-dev libasound2-plugins)
wine=(wine wine64)
endToEnd=(xvfb xauth xdotool x11-utils imagemagick pulseaudio pulseaudio-utils sox python3 procps
    libasound2-plugins desktop-file-utils tesseract-ocr tesseract-ocr-deu
    pipewire pipewire-bin wireplumber pipewire-pulse stress-ng dbus dbus-x11 at-spi2-core
    python3-pyatspi openbox poppler-utils)
# The Debian package and the Windows installer, and the checks made on them.
packaging=(dpkg-dev fakeroot lintian appstream desktop-file-utils nsis)
# libFuzzer comes with clang's runtime.
fuzzing=(clang libclang-rt-14-dev)

case "${1:-}" in
build) wanted=("${build[@]}") ;;
run) wanted=("${native[@]}") ;;
run-windows) wanted=("${build[@]}" "${wine[@]}") ;;
test) wanted=("${build[@]}" "${wine[@]}" "${endToEnd[@]}" "${fuzzing[@]}" "${packaging[@]}") ;;
*)
    echo "usage: $0 build|run|run-windows|test" >&2
    exit 2
    ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
