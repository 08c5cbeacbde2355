#!/usr/bin/env bash
# Builds the per-user Windows installer of tonolot.exe (NSIS) and proves it under Wine: a silent
# install puts the program into the person's program folder with a Start-menu entry and an entry
# in the list of installed programs; the installed program starts, plays a tone and writes its
# data file beside itself (the end-to-end harness, scenario p); the silent uninstall, run as
# that list runs it, removes the program, its entries and the uninstaller and leaves the data
# file byte for byte as it was.
# The installer stays in build/package/, the Wine prefix in build/package-wine/.
# Usage: scripts/package-windows.sh   (after the windows preset build, or it builds tonolot.exe)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" test >/dev/null || exit 1

version=$(sed -n 's/^project(Tonolot VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup="$root/build/package/tonolot-$version-setup.exe"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonolot'
. "$root/scripts/checks.sh"

{ [ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null; } &&
    cmake --build --preset windows --target tonolot >/dev/null || exit 1
mkdir -p build/package && rm -f "$setup"
check "makensis builds $(basename "$setup")" makensis -V2 -WX -DVERSION="$version" \
    -DPROGRAM="$root/build/windows/tonolot.exe" -DOUTFILE="$setup" \
    "$root/packaging/windows/tonolot.nsi" || exit 1

# A prefix of this script's own, kept between runs; the end-to-end harness uses it as well.
export WINEPREFIX="$root/build/package-wine/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
wineserver -w
winPath() { wine cmd /c echo "$1" | tr -d '\r'; }
folderWin="$(winPath '%LOCALAPPDATA%')\\Programs\\Tonolot"
folder=$(winepath -u "$folderWin")
shortcut="$(winepath -u "$(winPath '%APPDATA%')")/Microsoft/Windows/Start Menu/Programs/Tonolot.lnk"
# What an earlier run left behind goes first, so that every file found later is this run's.
rm -rf "$folder" "$shortcut"
wine reg delete "$key" /f >/dev/null 2>&1

wine "$setup" /S
wineserver -w
check "the silent install puts tonolot.exe and Uninstall.exe into $folderWin" \
    test -f "$folder/tonolot.exe" -a -f "$folder/Uninstall.exe"
check "the Start menu holds Tonolot.lnk" test -f "$shortcut"
entry=$(wine reg query "$key" | tr -d '\r')
hasValue() { grep -qxF "    $1    $2    $3" <<<"$entry"; }
installedValues() {
    hasValue DisplayName REG_SZ Tonolot &&
        hasValue DisplayVersion REG_SZ "$version" &&
        grep -q '^    Publisher    REG_SZ    .' <<<"$entry" &&
        hasValue DisplayIcon REG_SZ "$folderWin\\tonolot.exe,0" &&
        hasValue UninstallString REG_SZ "\"$folderWin\\Uninstall.exe\"" &&
        hasValue QuietUninstallString REG_SZ "\"$folderWin\\Uninstall.exe\" /S" &&
        hasValue NoModify REG_DWORD 0x1 && hasValue NoRepair REG_DWORD 0x1 &&
        grep -q '^    EstimatedSize    REG_DWORD    0x[1-9a-f]' <<<"$entry"
}
check "the list of installed programs names Tonolot $version, its icon and its uninstaller" \
    installedValues || echo "$entry"

check "the installed program starts, plays a tone and writes tonolot.def beside itself" \
    env TONOLOT_E2E_SCENARIOS=p TONOLOT_E2E_INSTALLED=1 "$root/tests/e2e/run.sh" \
    "$folder/tonolot.exe" "$root/build/artifacts/package-windows" "$root/build/package-wine"

checksum() { sha256sum "$1" 2>/dev/null | cut -d ' ' -f 1; }
before=$(checksum "$folder/tonolot.def")
# As the list of installed programs runs it (QuietUninstallString); the uninstaller copies
# itself away to delete the original, so the wait is for every process of the prefix.
wine "$folder/Uninstall.exe" /S
wineserver -w
check "the silent uninstall removes tonolot.exe, Uninstall.exe and the Start-menu entry" \
    test ! -e "$folder/tonolot.exe" -a ! -e "$folder/Uninstall.exe" -a ! -e "$shortcut"
check "it keeps tonolot.def byte for byte" \
    test -n "$before" -a "$(checksum "$folder/tonolot.def")" = "$before"
check "the entry in the list of installed programs is gone" \
    bash -c "! wine reg query '$key' >/dev/null 2>&1"
[ "$failed" -eq 0 ]
