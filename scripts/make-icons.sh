#!/usr/bin/env bash
# Renders the program's icon from data/icons/tonolot.svg into the PNG sizes of the desktop's icon
# theme and into the Windows program's .ico. The results are kept in the repository, so a build
# needs neither tool; run this after changing the SVG.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
command -v rsvg-convert >/dev/null && command -v convert >/dev/null || {
    echo "needs rsvg-convert (librsvg2-bin) and convert (imagemagick)" >&2
    exit 1
}
icons="$root/data/icons"
pngs=()
for size in 16 24 32 48 64 128 256; do
    mkdir -p "$icons/hicolor/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$icons/tonolot.svg" -o "$icons/hicolor/${size}x${size}/tonolot.png"
    pngs+=("$icons/hicolor/${size}x${size}/tonolot.png")
done
# The .ico keeps to the sizes Windows shows in lists and title bars: it is stored uncompressed
# inside tonolot.exe.
convert "${pngs[@]:0:5}" "$root/src/app/win32/tonolot.ico"
