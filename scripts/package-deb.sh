#!/usr/bin/env bash
# Builds the Debian package of the native program (the linux-release preset and CPack) and
# holds it to what a person installing it relies on: lintian without errors or warnings,
# dependencies this system can satisfy, valid AppStream metadata and desktop entry once dpkg
# installed it into a throwaway root, the program from there started by the end-to-end harness
# (scenario p: its window appears, "Start links" plays a tone, closing writes the data file in
# the data home and nothing beside the program), and a removal that leaves nothing behind.
# The package stays in build/package/, the harness's pictures in build/artifacts/package-deb/.
# Usage: scripts/package-deb.sh
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" test >/dev/null || exit 1

version=$(sed -n 's/^project(Tonolot VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$root/build/package/tonolot_${version}-1_$(dpkg --print-architecture).deb"
. "$root/scripts/checks.sh"

rm -f "$deb"
cmake --preset linux-release >/dev/null &&
    cmake --build --preset linux-release -j "$(nproc 2>/dev/null || echo 2)" >/dev/null &&
    cpack --preset linux-release >/dev/null
check "the package $(basename "$deb") is built" test -f "$deb" || exit 1
# Lintian says it does not like to run as root; that note is no finding.
check "lintian finds no errors or warnings" \
    lintian --fail-on error,warning --tag-display-limit 0 "$deb"

# dpkg installs it into a throwaway root of its own; the libraries it depends on are this
# system's (checked above by apt), so their absence in that root is no fault.
target=$(mktemp -d /tmp/tonolot-deb.XXXXXX)
trap 'rm -rf "$target"' EXIT
mkdir -p "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates"
touch "$target/var/lib/dpkg/status"
quietly() { "$@" >/dev/null 2>&1; }
# Under fakeroot, so that a person without root rights can run this as well.
dpkgRoot() { fakeroot dpkg --root="$target" --force-not-root "$@"; }
check "apt could install it here, its dependencies satisfied" \
    quietly apt-get install --simulate --no-install-recommends "$deb"
check "dpkg installs it into a throwaway root" \
    quietly dpkgRoot --force-depends -i "$deb"
check "the AppStream metadata is valid" \
    appstreamcli validate --no-net "$target"/usr/share/metainfo/*.metainfo.xml
check "the desktop entry is valid" \
    desktop-file-validate "$target/usr/share/applications/tonolot.desktop"
check "the installed program starts, plays a tone and keeps its data file in the data home" \
    env TONOLOT_E2E_SCENARIOS=p TONOLOT_E2E_INSTALLED=1 "$root/tests/e2e/run.sh" \
    "$target/usr/bin/tonolot" "$root/build/artifacts/package-deb"
# The person's data file lives in their home, which dpkg never touches.
removedCleanly() {
    dpkgRoot -r tonolot >/dev/null &&
        [ -z "$(find "$target" -mindepth 1 -not -path "$target/var*")" ]
}
check "dpkg removes it and leaves nothing in the root but its own records" removedCleanly
[ "$failed" -eq 0 ]
