#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sourced by the other scripts: installs what building and running Norvane
# need, and what the caller says in SETUP_NEEDS it needs besides (apt-get,
# through sudo when not root), fills Norvane's MIB folder
# (scripts/fetch-mibs.sh) and, unless SETUP_BUILD=0, builds
# ${BUILD_TARGETS:-all} into ${BUILD_DIR:-build} with ${CMAKE_EXTRA_ARGS}.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          libsnmp-dev snmpd snmp qtkeychain-qt6-dev libbz2-dev zlib1g-dev fonts-dejavu-core ca-certificates)
# On top: the tests' agents, X server and keyboard, a desktop keyring in a
# D-Bus session of the tests' own, Prometheus's SNMP exporter and its
# generator (Export for Prometheus is proven with them), bzip2 for the
# compressed recordings, the fuzzers' clang,
# the package's Debian tools (dpkg-shlibdeps, dpkg-buildflags).
declare -A MORE_PACKAGES=([run]="" [test]="snmpsim xvfb xdotool gnome-keyring dbus dbus-x11 libsecret-tools prometheus-snmp-exporter bzip2" [fuzz]="clang libclang-rt-14-dev" [package]="dpkg-dev")
for need in ${SETUP_NEEDS:-run}; do
    PACKAGES+=(${MORE_PACKAGES[$need]})
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA_ARGS:-} >/dev/null
    cmake --build "$BUILD_DIR" -j2 ${BUILD_TARGETS:+--target $BUILD_TARGETS}
}

install_packages
bash "$ROOT/scripts/fetch-mibs.sh" "$BUILD_DIR/share/norvane/mibs"
[ "${SETUP_BUILD:-1}" = 0 ] || build
