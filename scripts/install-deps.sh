#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build, the tests or the program need, if missing.
# Usage: scripts/install-deps.sh build|test|run
set -euo pipefail

build=(cmake ninja-build g++ make libgtest-dev g++-mingw-w64-x86-64 mingw-w64-tools)
wine=(wine wine64)
endToEnd=(xvfb xdotool x11-utils imagemagick pulseaudio pulseaudio-utils sox python3 procps)

case "${1:-}" in
build) wanted=("${build[@]}") ;;
run) wanted=("${build[@]}" "${wine[@]}") ;;
test) wanted=("${build[@]}" "${wine[@]}" "${endToEnd[@]}") ;;
*)
    echo "usage: $0 build|test|run" >&2
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
