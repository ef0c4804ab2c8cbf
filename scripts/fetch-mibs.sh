#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fills a MIB folder with the text of the standard MIB modules, taken from
# registry packages that are unpacked, never installed (Debian's main
# archive carries few of these modules, for their licence):
#  - Debian's erlang-snmp: the SNMPv2 and SNMPv3 framework, RFC1213-MIB...
#  - the npm package net-snmp: IF-MIB, IANAifType-MIB and a few more;
#  - Debian's snmp-mibs-downloader (non-free; multiverse on Ubuntu): the RFC
#    texts and IANA modules it carries, from which smistrip (Debian's
#    smistrip, libsmi's tool) cuts the modules listed below as they stand.
# A source that cannot be had is left out with a warning. Once every source
# has arrived the folder is marked complete and not fetched again.
#
#   scripts/fetch-mibs.sh DEST
set -euo pipefail

DEST=$1
# Raised whenever the sources or the lists below change, so that folders
# filled before are filled again.
MIB_SET=2
# An RFC's number, then the modules cut from it.
RFC_MODULES=(
    2790:HOST-RESOURCES-MIB:HOST-RESOURCES-TYPES
    4188:BRIDGE-MIB
    4363:P-BRIDGE-MIB:Q-BRIDGE-MIB
    4133:ENTITY-MIB
    3433:ENTITY-SENSOR-MIB
    4268:ENTITY-STATE-MIB:ENTITY-STATE-TC-MIB
    4293:IP-MIB
    4022:TCP-MIB
    4113:UDP-MIB
    4292:IP-FORWARD-MIB
    3635:EtherLike-MIB
    3621:POWER-ETHERNET-MIB
    # What those import (and UCD-SNMP-MIB, from Net-SNMP's own folder, imports HCNUM-TC).
    2856:HCNUM-TC
    2819:RMON-MIB
    4502:RMON2-MIB
    1513:TOKEN-RING-RMON-MIB
)
# IANA's modules, by the names snmp-mibs-downloader gives them: IP-FORWARD-MIB
# and others import IANA-RTPROTO-MIB and IANA-ADDRESS-FAMILY-NUMBERS-MIB.
IANA_MODULES=(ianaiprouteprotocol-mib ianaaddressfamilynumbers-mib)

[ "$(cat "$DEST/.complete" 2>/dev/null)" = "$MIB_SET" ] && exit 0
mkdir -p "$DEST"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
complete=1
warn() { echo "warning: $*; some MIB names stay numeric" >&2; complete=0; }

from_erlang() {
    (cd "$WORK" && apt-get download erlang-snmp >/dev/null 2>&1) || return 1
    dpkg -x "$WORK"/erlang-snmp_*.deb "$WORK/erlang"
    # Erlang's own enterprise modules are of no use to a browser of other agents.
    find "$WORK/erlang" -path '*/snmp-*/mibs/*' -name '*.mib' ! -name 'OTP-*' -exec cp {} "$DEST"/ \;
}

from_npm() {
    (cd "$WORK" && npm pack net-snmp --silent >/dev/null 2>&1) || return 1
    mkdir "$WORK/npm" && tar xzf "$WORK"/net-snmp-*.tgz -C "$WORK/npm"
    cp "$WORK"/npm/package/lib/mibs/*.mib "$DEST"/
}

# apt-get with lists of its own: the system's archives, their non-free (or
# multiverse) component. Nothing of the system's apt set-up is touched.
download_nonfree() {
    local dir=$WORK/apt
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/parts"
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(ORIGIN)' 'Identifier: Packages' 'Component: main' |
        sort -u | while read -r uri release origin; do
            case $origin in
                Debian) echo "deb $uri $release non-free" ;;
                Ubuntu) echo "deb $uri $release multiverse" ;;
            esac
        done >"$dir/sources.list"
    [ -s "$dir/sources.list" ] || return 1
    local options=(-o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts="$dir/parts"
                   -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache"
                   -o Acquire::IndexTargets::deb::Contents-deb::DefaultEnabled=false)
    apt-get "${options[@]}" update -qq >/dev/null 2>&1 || return 1
    (cd "$WORK" && apt-get "${options[@]}" download "$1" >/dev/null 2>&1)
}

from_rfcs() {
    download_nonfree snmp-mibs-downloader || return 1
    (cd "$WORK" && apt-get download smistrip >/dev/null 2>&1) || return 1
    dpkg -x "$WORK"/snmp-mibs-downloader_*.deb "$WORK/texts"
    dpkg -x "$WORK"/smistrip_*.deb "$WORK/smistrip"
    local texts=$WORK/texts/usr/share/snmp/mibs-downloader cut=$WORK/cut entry module
    local smistrip=(sh "$WORK/smistrip/usr/bin/smistrip" -a -d "$cut")
    mkdir "$cut"
    for entry in "${RFC_MODULES[@]}"; do
        zcat "$texts/mibrfcs/rfc${entry%%:*}.txt.gz" | tr -d '\r' | "${smistrip[@]}" -m "${entry#*:}" - >/dev/null || true
        for module in ${entry//:/ }; do
            [ "$module" = "${entry%%:*}" ] && continue
            [ -f "$cut/$module" ] || warn "$module was not found in RFC ${entry%%:*} of snmp-mibs-downloader"
        done
    done
    for module in "${IANA_MODULES[@]}"; do
        zcat "$texts/mibiana/$module.gz" | tr -d '\r' | "${smistrip[@]}" - >/dev/null \
            || warn "$module was not found in snmp-mibs-downloader"
    done
    for module in "$cut"/*; do
        cp "$module" "$DEST/$(basename "$module").mib"
    done
}

from_erlang || warn "could not take MIB modules from Debian's erlang-snmp"
from_npm || warn "could not take MIB modules from the npm package net-snmp"
from_rfcs || warn "could not take MIB modules from Debian's snmp-mibs-downloader (non-free)"

if [ $complete -eq 1 ]; then
    echo "$MIB_SET" >"$DEST/.complete"
else
    rm -f "$DEST/.complete"
fi
