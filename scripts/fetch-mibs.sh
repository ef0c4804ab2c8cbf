#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fills a MIB folder with the text of the standard MIB modules, taken from
# Debian packages that are unpacked, never installed (Debian's main archive
# carries few of these modules, for their licence):
#  - erlang-snmp (main): the SNMPv2 and SNMPv3 framework, RFC1213-MIB,
#    INET-ADDRESS-MIB..., distributed there under Apache-2.0, which allows the
#    patches below;
#  - snmp-mibs-downloader (non-free; multiverse on Ubuntu): the RFC texts and
#    IANA modules it carries, from which smistrip (Debian's smistrip,
#    libsmi's tool) cuts the modules listed below as they stand. They may be
#    copied but not modified; the folder's .nonfree lists their files, which
#    the Debian package puts in a non-free package of their own.
# A source that cannot be had is left out with a warning. Once every source
# has arrived the folder is marked complete and not fetched again.
#
#   scripts/fetch-mibs.sh DEST
set -euo pipefail

DEST=$1
# Raised whenever the sources or the lists below change, so that folders
# filled before are filled again.
MIB_SET=3
# An RFC's number, then the modules cut from it.
RFC_MODULES=(
    2863:IF-MIB
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
# IANA's modules, by the names snmp-mibs-downloader gives them: IF-MIB imports
# IANAifType-MIB, IP-FORWARD-MIB and others IANA-RTPROTO-MIB and
# IANA-ADDRESS-FAMILY-NUMBERS-MIB.
IANA_MODULES=(ianaiftype-mib ianaiprouteprotocol-mib ianaaddressfamilynumbers-mib)

[ "$(cat "$DEST/.complete" 2>/dev/null)" = "$MIB_SET" ] && exit 0
# A folder filled for an earlier set starts again empty: a module that set
# had and this one has not would still load (and may import what is gone).
[ ! -f "$DEST/.complete" ] || rm -rf "$DEST"
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
        echo "$(basename "$module").mib" >>"$WORK/nonfree"
    done
}

# Patches to module texts, each a fault of the text as erlang-snmp carries it
# (Apache-2.0: modification allowed). The non-free modules are never touched.
# A patch that no longer applies is a warning, and the folder stays
# incomplete, so that it is looked at.
patch_module() {
    local file=$DEST/$1.mib what=$2
    shift 2
    [ -f "$file" ] || return 0
    cp "$file" "$WORK/before"
    if ! sed -i "$@" "$file" || cmp -s "$file" "$WORK/before"; then
        warn "the patch of $1 ($what) did not apply"
    fi
}
patch_modules() {
    # SNMP-COMMUNITY-MIB is RFC 2576's text, whose compliance statement names
    # snmpCommunitySecurityLevel, an object it never defines (RFC 3584 drops it).
    patch_module SNMP-COMMUNITY-MIB "no snmpCommunitySecurityLevel" '/OBJECT *snmpCommunitySecurityLevel$/,+2d'
    # RFC 3411 and RFC 3413 give these TEXTUAL-CONVENTIONs DISPLAY-HINT "255t"
    # (UTF-8); the texts say "255a". Every other TEXTUAL-CONVENTION of these
    # modules has its RFC's DISPLAY-HINT.
    patch_module SNMP-FRAMEWORK-MIB "SnmpAdminString 255t" '/^ *SnmpAdminString ::= TEXTUAL-CONVENTION/,/DISPLAY-HINT/s/"255a"/"255t"/'
    patch_module SNMP-TARGET-MIB "SnmpTagValue and SnmpTagList 255t" \
        -e '/^ *SnmpTagValue ::= TEXTUAL-CONVENTION/,/DISPLAY-HINT/s/"255a"/"255t"/' \
        -e '/^ *SnmpTagList ::= TEXTUAL-CONVENTION/,/DISPLAY-HINT/s/"255a"/"255t"/'
}

rm -f "$DEST"/*.mib "$DEST/.nonfree"
from_erlang || warn "could not take MIB modules from Debian's erlang-snmp"
[ ! -f "$DEST/SNMP-FRAMEWORK-MIB.mib" ] || patch_modules
from_rfcs || warn "could not take MIB modules from Debian's snmp-mibs-downloader (non-free)"
[ ! -f "$WORK/nonfree" ] || sort "$WORK/nonfree" >"$DEST/.nonfree"

if [ $complete -eq 1 ]; then
    echo "$MIB_SET" >"$DEST/.complete"
else
    rm -f "$DEST/.complete"
fi
