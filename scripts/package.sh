#!/usr/bin/env bash
# Builds the Debian package of the program for this machine's architecture from the normal
# build (build/, built first when needed, never a second time) and leaves it in the top folder
# of the repository as ombrivault_VERSION_ARCH.deb. Install it with
#     sudo apt install ./ombrivault_*.deb
# usage: scripts/package.sh [BUILD_DIR]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ov_root/scripts/setup.sh"

build=${1:-$ov_root/build}
ov_build "$build"
build=$(cd "$build" && pwd)

# CPack installs the build under /usr in a staging folder of its own, strips the programs
# and modules, and asks dpkg-shlibdeps for the dependencies.
staging="$build/package"
rm -rf "$staging"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$staging" >"$build/package.log" 2>&1 || {
    cat "$build/package.log" >&2
    echo "package: cpack failed" >&2
    exit 1
}
debs=("$staging"/ombrivault_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    cat "$build/package.log" >&2
    echo "package: expected one ombrivault_*.deb in $staging" >&2
    exit 1
fi
rm -f "$ov_root"/ombrivault_*.deb
mv "${debs[0]}" "$ov_root/"
echo "$ov_root/$(basename "${debs[0]}")"
