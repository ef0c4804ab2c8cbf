#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package: the program alone (no tests), Release, with
# Debian's hardening flags, for /usr, in ${BUILD_DIR:-build-deb}; then
# CPack's DEB generator writes build-deb/norvane_<version>_<arch>.deb.
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
cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DNORVANE_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$BUILD_DIR" -j2
(cd "$BUILD_DIR" && cpack -G DEB)
