#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages: the program alone (no tests), Release, with
# Debian's hardening flags, for /usr, in ${BUILD_DIR:-build-deb}; then
# CPack's DEB generator writes build-deb/norvane_<version>_<arch>.deb (main)
# and build-deb/norvane-mibs-nonfree_<version>_all.deb (non-free). The same
# commit gives the same bytes: file times are the last commit's
# (SOURCE_DATE_EPOCH, which the compiler, rcc and CPack honour).
# Once the set-up has run (any of the scripts), this needs no network.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$ROOT/build-deb}

# The normal build's MIB folder saves fetching the modules again (and needs
# no network): taken unless this one is complete and that one is not newer.
from=$ROOT/build/share/norvane/mibs
to=$BUILD_DIR/share/norvane/mibs
if [ "$BUILD_DIR" != "$ROOT/build" ] && compgen -G "$from/*.mib" >/dev/null; then
    if [ ! -f "$to/.complete" ] || { [ -f "$from/.complete" ] && ! cmp -s "$from/.complete" "$to/.complete"; }; then
        rm -rf "$to"
        mkdir -p "$(dirname "$to")"
        cp -r "$from" "$to"
    fi
fi
SETUP_NEEDS=package
SETUP_BUILD=0
source "$ROOT/scripts/setup.sh"

# dpkg-buildflags maps the source folder out of the debug information and
# file names, so nothing in the package names the build machine's paths.
cd "$ROOT"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || date -d "$(sed -n 's/^set(NORVANE_RELEASE_DATE \(.*\))$/\1/p' CMakeLists.txt)" +%s)
fi
export SOURCE_DATE_EPOCH
launcher=()
! command -v ccache >/dev/null || launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DNORVANE_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$BUILD_DIR" -j2
rm -f "$BUILD_DIR"/*.deb
(cd "$BUILD_DIR" && cpack -G DEB)
