#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build needs (apt-get, through sudo when not root), fills
# Norvane's MIB folder and builds into ${BUILD_DIR:-build}. Sourced by run.sh and test.sh.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          libsnmp-dev snmpd snmp snmpsim xvfb xauth imagemagick fonts-dejavu-core
          ca-certificates clang libclang-rt-14-dev
          qtkeychain-qt6-dev gnome-keyring dbus dbus-x11 libsecret-tools)
# npm only fetches MIB modules; a Node.js installed outside Debian brings its
# own npm, and Debian's npm package would conflict with it.
command -v npm >/dev/null 2>&1 || PACKAGES+=(npm)

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

# Debian ships almost no standard MIB modules. Take them from registry
# packages without installing their programs: Erlang's SNMP application and
# the npm package net-snmp both carry the IETF modules as plain text.
fetch_mibs() {
    local dest=$BUILD_DIR/share/norvane/mibs
    [ -f "$dest/.complete" ] && return 0
    local tmp; tmp=$(mktemp -d)
    mkdir -p "$dest"
    (
        cd "$tmp"
        if apt-get download erlang-snmp >/dev/null 2>&1; then
            dpkg -x erlang-snmp_*.deb erl
            find erl -path '*/snmp-*/mibs/*' -name '*.mib' -exec cp {} "$dest"/ \;
        else
            echo "warning: could not download erlang-snmp; some MIB names stay numeric" >&2
        fi
        if npm pack net-snmp --silent >/dev/null 2>&1; then
            mkdir npmpkg && tar xzf net-snmp-*.tgz -C npmpkg
            cp npmpkg/package/lib/mibs/*.mib "$dest"/
        else
            echo "warning: could not fetch the npm package net-snmp; some MIB names stay numeric" >&2
        fi
    )
    rm -rf "$tmp"
    # Erlang's own enterprise modules are of no use to a browser of other agents.
    rm -f "$dest"/OTP-*.mib
    ls "$dest"/*.mib >/dev/null 2>&1 && touch "$dest/.complete"
}

build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA_ARGS:-} >/dev/null
    cmake --build "$BUILD_DIR" -j2
}

install_packages
fetch_mibs
build
