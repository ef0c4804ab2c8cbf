#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the engine's layering: no include loop among its sources (a header
# and its source count as one), Net-SNMP's headers only in engine/snmp and
# engine/mib, and no Net-SNMP type in any header the window includes,
# directly or through another header. With --graph it prints the engine's
# include floors instead. Exits 1 on a breach.
set -euo pipefail
cd "$(dirname "$0")/.."

includes() { # the project headers a file includes
    sed -n 's/^#include "\([a-z]*\/[^"]*\.h\)".*/\1/p' "$1"
}

edges=$(for f in $(find engine -name '*.h' -o -name '*.cpp'); do
    from=${f%.*}
    for h in $(includes "$f"); do
        case $h in engine/*) [ "${h%.h}" = "$from" ] || echo "$from ${h%.h}" ;; esac
    done
done | sort -u)

if [ "${1:-}" = --graph ]; then
    # Floor of a module: 1 + the highest floor of what it includes.
    echo "$edges" | awk '
        { dep[$1] = dep[$1] " " $2; mods[$1]; mods[$2] }
        function floor(m,   n, i, d, f, best) {
            if (m in memo) return memo[m]
            if (m in seen) { loops++; return 0 }
            seen[m]; best = 0
            n = split(dep[m], d, " ")
            for (i = 1; i <= n; i++) if (d[i] != "") { f = floor(d[i]); if (f > best) best = f }
            delete seen[m]
            return memo[m] = best + 1
        }
        END { for (m in mods) { f = floor(m); if (f > top) top = f; count[f]++ }
              printf "%d modules on %d floors; %d include loops seen\n", length(mods), top, loops + 0
              for (f = 1; f <= top; f++) printf "  floor %d: %d modules\n", f, count[f] }'
    exit 0
fi

status=0
if ! loops=$(echo "$edges" | tsort 2>&1 >/dev/null) || [ -n "$loops" ]; then
    echo "Include loop among engine sources:"
    echo "$loops"
    status=1
fi

outside=$(grep -rln '#include <net-snmp/' common engine store ui | grep -v -E '^engine/(snmp|mib)/' || true)
if [ -n "$outside" ]; then
    echo "Net-SNMP included outside engine/snmp and engine/mib:"
    echo "$outside"
    status=1
fi

# Every header reachable from the window's files.
declare -A seen
queue=($(for f in $(find ui -name '*.h' -o -name '*.cpp'); do includes "$f"; done | sort -u))
while [ ${#queue[@]} -gt 0 ]; do
    h=${queue[0]}
    queue=("${queue[@]:1}")
    [ -n "${seen[$h]:-}" ] || [ ! -f "$h" ] && continue
    seen[$h]=1
    queue+=($(includes "$h"))
done
netsnmp='\b(struct tree|tree \*|snmp_session|snmp_pdu|netsnmp_[a-z_]+|variable_list|index_list|enum_list|range_list|usmUser)\b'
for h in "${!seen[@]}"; do
    case $h in ui/*) continue ;; esac
    if hits=$(grep -n -E "$netsnmp" "$h" | grep -v -E '^\s*[0-9]+:\s*//'); then
        echo "A header the window includes names a Net-SNMP type: $h"
        echo "$hits"
        status=1
    fi
done
[ $status -ne 0 ] || echo "Layout holds: no include loop in engine/, Net-SNMP only in engine/snmp and engine/mib, none of its types in a header the window includes."
exit $status
