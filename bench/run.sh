#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Norvane against Net-SNMP's own tools on the same loopback agent: walk speed,
# responsiveness, memory, save, find, the Table View, start-up, and the MIB
# Tree window opened and searched. Prints one markdown table.
#
#   bench/run.sh [--quick] [--versions-only | --v3-only | --walks-only | --mib-only | --watch-only | --recordings-only | --traps-only] [--build-dir DIR] [--no-build]
#
# --quick walks 1,000 and 10,000 rows (100,000 for the scale figures) with 3
# runs instead of 5; --versions-only measures the SNMP version rows alone
# (SNMPv3's too; --v3-only those alone),
# --walks-only the walks of both versions (no agent, waiting, memory, Save or
# start-up rows), --mib-only the MIB rows (loading, and walks with MIB Values
# on and off), --watch-only the Watch rows (its polls' cost against snmpget,
# a day of samples in memory, the graph's repaint), --recordings-only the
# recordings' rows (Open, Save As, Compare), --traps-only the burst of traps into the Traps window beside
# snmptrapd (which then must be installed: apt-get install snmptrapd).
# The default build is Release in build-bench-release/.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build-bench-release
QUICK=0
BUILD=1
VERSIONS_ONLY=0
V3_ONLY=0
MIB_ONLY=0
WALKS_ONLY=0
WATCH_ONLY=0
RECORDINGS_ONLY=0
TRAPS_ONLY=0
while [ $# -gt 0 ]; do
    case $1 in
        --quick) QUICK=1 ;;
        --versions-only) VERSIONS_ONLY=1 ;;
        --v3-only) V3_ONLY=1 ;;
        --mib-only) MIB_ONLY=1 ;;
        --walks-only) WALKS_ONLY=1 ;;
        --watch-only) WATCH_ONLY=1 ;;
        --recordings-only) RECORDINGS_ONLY=1 ;;
        --traps-only) TRAPS_ONLY=1 ;;
        --no-build) BUILD=0 ;;
        --build-dir) BUILD_DIR=$(realpath -m "$2"); shift ;;
        *) echo "usage: bench/run.sh [--quick] [--versions-only | --v3-only | --walks-only | --mib-only | --watch-only | --recordings-only | --traps-only] [--build-dir DIR] [--no-build]" >&2; exit 2 ;;
    esac
    shift
done

if [ $QUICK -eq 1 ]; then
    WALK_ROWS=(1000 10000); RESPONSIVE_ROWS=10000; SCALE_ROWS=100000; RUNS=3
else
    WALK_ROWS=(10000 100000); RESPONSIVE_ROWS=100000; SCALE_ROWS=1000000; RUNS=5
fi
VERSION_ROWS=${WALK_ROWS[-1]}
# The max-repetitions of Norvane's bulk walks, which snmpbulkwalk is given too.
BULK_REPS=$(sed -n 's/.*BulkMaxRepetitions = \([0-9]*\);.*/\1/p' "$ROOT/engine/query/queryrun.h")
STARTUP_RUNS=10
MIB_RUNS=5

for tool in snmpwalk snmpbulkwalk snmptranslate Xvfb cmake; do
    command -v $tool >/dev/null || { echo "bench: $tool is missing (bash scripts/test.sh installs it)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }

MIBS=$BUILD_DIR/share/norvane/mibs
if [ ! -f "$MIBS/.complete" ]; then
    if [ -f "$ROOT/build/share/norvane/mibs/.complete" ]; then
        mkdir -p "$BUILD_DIR/share/norvane"
        cp -r "$ROOT/build/share/norvane/mibs" "$BUILD_DIR/share/norvane/"
    else
        BUILD_DIR=$BUILD_DIR SETUP_NEEDS=test \
            CMAKE_EXTRA_ARGS="-DCMAKE_BUILD_TYPE=Release -DNORVANE_TESTS=ON -DNORVANE_BENCH=ON" bash "$ROOT/scripts/setup.sh"
    fi
fi
if [ $BUILD -eq 1 ]; then
    # The benchmarks come with the tests, under their own option.
    cmake -S "$ROOT" -B "$BUILD_DIR" -DNORVANE_TESTS=ON -DNORVANE_BENCH=ON \
        $([ -f "$BUILD_DIR/CMakeCache.txt" ] || echo -DCMAKE_BUILD_TYPE=Release) >/dev/null
    cmake --build "$BUILD_DIR" -j2 --target bench_agent bench_walk_window bench_mib_tree bench_watch bench_trap_window trapburst >/dev/null
fi
BIN=$BUILD_DIR/bin
BUILD_TYPE=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD_DIR/CMakeCache.txt")

WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

# A private settings folder: the benchmark never touches the user's. Its
# cache of MIB checks too, filled once here, as any start after the first
# finds it; the MIB loading row measures a first start apart.
export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache LANG=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME"
"$BIN/bench_walk_window" --mibload >/dev/null

# Starts a bench agent of $1 rows, with any further options for it; its
# address goes to the variable named $2.
start_agent() {
    local rows=$1 var=$2 out=$WORK/agent-$1
    shift 2
    [ $# -eq 0 ] || out=$out-${#PIDS[@]}
    "$BIN/bench_agent" --rows "$rows" "$@" >"$out.addr" 2>"$out.log" &
    PIDS+=($!)
    for _ in $(seq 100); do [ -s "$out.addr" ] && break; sleep 0.05; done
    [ -s "$out.addr" ] || { echo "bench: the agent did not start" >&2; exit 1; }
    printf -v "$var" '%s' "$(head -1 "$out.addr")"
}

# The first free display from :79 on.
DISPLAY_NUMBER=79
while [ -e /tmp/.X11-unix/X$DISPLAY_NUMBER ] || [ -e /tmp/.X$DISPLAY_NUMBER-lock ]; do
    DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1))
done
Xvfb :$DISPLAY_NUMBER -noreset -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$DISPLAY_NUMBER ] && break; sleep 0.05; done
XDISPLAY=:$DISPLAY_NUMBER

now_ns() { date +%s%N; }
median() { sort -g | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
maximum() { sort -g | tail -1; }
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p"; }
calc() { awk "BEGIN {printf \"$1\", $2}"; }
thousands() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }

# snmpwalk as Norvane is compared with it: v1, the same MIB set, all output kept.
snmpwalk_run() { # rows address -> "wall_ms cpu_ms"
    local t0 t1 rows
    t0=$(now_ns)
    /usr/bin/time -f "%U %S" -o "$WORK/time" \
        snmpwalk -v1 -Cc -c tarnel -M "+$MIBS" -m ALL "$2" .1.3.6.1.2.1 >"$WORK/snmpwalk.out" 2>/dev/null
    t1=$(now_ns)
    rows=$(grep -c ' = ' "$WORK/snmpwalk.out")
    [ "$rows" -eq "$1" ] || { echo "bench: snmpwalk brought $rows rows, $1 expected" >&2; exit 1; }
    echo "$(calc %.1f "($t1 - $t0) / 1e6") $(awk '{printf "%.1f", ($1 + $2) * 1000}' "$WORK/time")"
}

# snmpbulkwalk as Norvane's SNMPv2c walk is compared with it: the same
# max-repetitions, MIB set and output; the endOfMibView it prints is no row.
snmpbulkwalk_run() { # rows address -> "wall_ms cpu_ms"
    local t0 t1 rows
    t0=$(now_ns)
    /usr/bin/time -f "%U %S" -o "$WORK/time" snmpbulkwalk -v2c -Cr"$BULK_REPS" -Cc -c tarnel -M "+$MIBS" -m ALL \
        "$2" .1.3.6.1.2.1 >"$WORK/snmpbulkwalk.out" 2>/dev/null
    t1=$(now_ns)
    rows=$(grep ' = ' "$WORK/snmpbulkwalk.out" | grep -vc ' = No more variables')
    [ "$rows" -eq "$1" ] || { echo "bench: snmpbulkwalk brought $rows rows, $1 expected" >&2; exit 1; }
    echo "$(calc %.1f "($t1 - $t0) / 1e6") $(awk '{printf "%.1f", ($1 + $2) * 1000}' "$WORK/time")"
}

engine_walk() { # mode rows address [--v2c] -> the key=value line
    QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" ${4:-} "$1" "$3" .1.3.6.1.2.1 "$2" 2>"$WORK/walk.err" \
        || { cat "$WORK/walk.err" >&2; exit 1; }
}

norvane_walk() { # platform rows address [--v2c | --mib-values] -> the key=value line
    if [ "$1" = xcb ]; then
        DISPLAY=$XDISPLAY QT_QPA_PLATFORM=xcb "$BIN/bench_walk_window" ${4:-} --walk "$3" .1.3.6.1.2.1 "$2" 2>"$WORK/walk.err"
    else
        QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" ${4:-} --walk "$3" .1.3.6.1.2.1 "$2" 2>"$WORK/walk.err"
    fi || { cat "$WORK/walk.err" >&2; exit 1; }
}

ROWS_OUT=()
RESPONSIVE=()
row() { ROWS_OUT+=("| $1 | $2 | $3 | $4 | $5 | $6 |"); }
verdict() { awk "BEGIN {print ($1) ? \"yes\" : \"**no**\"}"; }
# The walk and memory targets hold at 100,000 and 1,000,000 rows, not at --quick's sizes.
full_verdict() { if [ $QUICK -eq 1 ]; then echo "(quick run)"; else verdict "$1"; fi; }

print_table() {
    echo
    echo "| Measurement | Norvane | Net-SNMP tool | Ratio | Target | Met |"
    echo "|---|---|---|---|---|---|"
    printf '%s\n' "${ROWS_OUT[@]}"
    echo
    echo "$BUILD_TYPE build, $(nproc) cores, $(uname -m), load average at the end $(cut -d' ' -f1-3 /proc/loadavg)."
}

# SNMP versions: the SNMPv2c walk (GetBulk), offscreen and under Xvfb,
# against snmpbulkwalk asking as many repetitions, runs alternating; the
# query run alone beside them; then an agent answering 1 ms after each
# request, walked by SNMPv1 GetNext (one run: some 2 minutes at 100,000 rows)
# and by SNMPv2c GetBulk.
versions() {
    local rows=$VERSION_ROWS ms cpu sw_ms sw_cpu getnext bulk
    start_agent "$rows" V2_AGENT
    : >"$WORK/bw"; : >"$WORK/v2off"; : >"$WORK/v2x"; : >"$WORK/v2events"; : >"$WORK/v2engine"
    for _ in $(seq $RUNS); do
        snmpbulkwalk_run "$rows" "$V2_AGENT" >>"$WORK/bw"
        norvane_walk offscreen "$rows" "$V2_AGENT" --v2c >>"$WORK/v2off"
        norvane_walk xcb "$rows" "$V2_AGENT" --v2c >>"$WORK/v2x"
        engine_walk --engine-events "$rows" "$V2_AGENT" --v2c >>"$WORK/v2events"
        engine_walk --engine "$rows" "$V2_AGENT" --v2c >>"$WORK/v2engine"
    done
    kill "${PIDS[-1]}"
    sw_ms=$(cut -d' ' -f1 "$WORK/bw" | median)
    sw_cpu=$(cut -d' ' -f2 "$WORK/bw" | median)
    for platform in v2off v2x v2events v2engine; do
        ms=$(field ms <"$WORK/$platform" | median)
        cpu=$(field cpu_ms <"$WORK/$platform" | median)
        if [ $platform = v2off ] || [ $platform = v2x ]; then
            label=$([ $platform = v2off ] && echo offscreen || echo "Xvfb, list visible")
            row "Walk $(thousands "$rows") rows over SNMPv2c (GetBulk, max-repetitions $BULK_REPS), $label (median of $RUNS)" \
                "$(calc %.0f "$rows * 1000 / $ms") rows/s ($(calc %.2f "$ms / 1000") s; CPU $(calc %.2f "$cpu * 1000 / $rows") µs/row)" \
                "snmpbulkwalk -v2c -Cr$BULK_REPS -Cc: $(calc %.0f "$rows * 1000 / $sw_ms") rows/s ($(calc %.2f "$sw_ms / 1000") s; CPU $(calc %.2f "$sw_cpu * 1000 / $rows") µs/row)" \
                "$(calc %.2f "$ms / $sw_ms")" "≤ 1.00 x" "$(full_verdict "$ms / $sw_ms <= 1.00")"
        else
            case $platform in
                v2events) label="the query run alone with events processed after every row: no window" ;;
                v2engine) label="the query run alone, rows into the result model: no window, no event processing" ;;
            esac
            row "Walk $(thousands "$rows") rows over SNMPv2c, $label (median of $RUNS)" \
                "$(calc %.0f "$rows * 1000 / $ms") rows/s ($(calc %.2f "$ms / 1000") s; CPU $(calc %.2f "$cpu * 1000 / $rows") µs/row)" \
                "snmpbulkwalk -v2c -Cr$BULK_REPS -Cc: $(calc %.0f "$rows * 1000 / $sw_ms") rows/s" \
                "$(calc %.2f "$ms / $sw_ms")" "-" "-"
        fi
    done

    start_agent "$rows" SLOW_V2_AGENT --delay-ms 1
    norvane_walk offscreen "$rows" "$SLOW_V2_AGENT" >"$WORK/getnext"
    : >"$WORK/getbulk"
    for _ in $(seq $RUNS); do
        norvane_walk offscreen "$rows" "$SLOW_V2_AGENT" --v2c >>"$WORK/getbulk"
    done
    kill "${PIDS[-1]}"
    getnext=$(field ms <"$WORK/getnext")
    bulk=$(field ms <"$WORK/getbulk" | median)
    row "Walk $(thousands "$rows") rows of an agent answering 1 ms after each request, offscreen: SNMPv2c GetBulk (median of $RUNS) against SNMPv1 GetNext (one run)" \
        "GetBulk: $(calc %.0f "$rows * 1000 / $bulk") rows/s ($(calc %.2f "$bulk / 1000") s)" \
        "- (GetNext: $(calc %.0f "$rows * 1000 / $getnext") rows/s, $(calc %.1f "$getnext / 1000") s)" \
        "$(calc %.0f "$getnext / $bulk") x faster" "GetBulk ≥ 20 x faster" "$(verdict "$getnext / $bulk >= 20")"
}

# SNMPv3: snmpd terminates the user-based security (authPriv, SHA-256 and
# AES-256) for a context it proxies over SNMPv2c to a bench agent; Norvane
# through the window and snmpbulkwalk -v3 walk that context with the same
# user and max-repetitions, runs alternating. Then a Get in a fresh process,
# engine ID discovery included: F9 to the row in the window beside snmpget's
# whole run (process start and MIB loading included).
v3() {
    local rows=$VERSION_ROWS backend port ms sw_ms cpu sw_cpu get sg t0 t1
    [ -x /usr/sbin/snmpd ] || { echo "bench: /usr/sbin/snmpd is missing: no SNMPv3 rows" >&2; return 0; }
    start_agent "$rows" backend
    port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    mkdir -p "$WORK/v3"
    export NORVANE_BENCH_AUTH=benchAuth-5kq2 NORVANE_BENCH_PRIV=benchPriv-8mz4
    cat >"$WORK/v3/snmpd.conf" <<EOF2
agentAddress udp:127.0.0.1:$port
createUser benchv3 SHA-256 $NORVANE_BENCH_AUTH AES-256 $NORVANE_BENCH_PRIV
rouser benchv3 priv .1 bench
proxy -Cn bench -v 2c -c tarnel $backend .1.3.6.1.2.1
EOF2
    /usr/sbin/snmpd -f -Lf "$WORK/v3/log" -C -c "$WORK/v3/snmpd.conf" -p "$WORK/v3/pid" \
        --persistentDir="$WORK/v3" >/dev/null 2>&1 &
    PIDS+=($!)
    local v3args=(-v3 -l authPriv -u benchv3 -a SHA-256 -A "$NORVANE_BENCH_AUTH" -x AES-256 -X "$NORVANE_BENCH_PRIV" -n bench)
    for _ in $(seq 100); do
        snmpget "${v3args[@]}" -r0 -t0.2 "127.0.0.1:$port" .1.3.6.1.2.1.1.1.0 >/dev/null 2>&1 && break
        sleep 0.05
    done
    : >"$WORK/v3bw"; : >"$WORK/v3walk"; : >"$WORK/v3get"; : >"$WORK/v3sg"
    for _ in $(seq $RUNS); do
        t0=$(now_ns)
        /usr/bin/time -f "%U %S" -o "$WORK/time" snmpbulkwalk "${v3args[@]}" -Cr"$BULK_REPS" -Cc -M "+$MIBS" -m ALL \
            "127.0.0.1:$port" .1.3.6.1.2.1 >"$WORK/v3bw.out" 2>/dev/null
        t1=$(now_ns)
        [ "$(grep ' = ' "$WORK/v3bw.out" | grep -vc ' = No more variables')" -eq "$rows" ] \
            || { echo "bench: snmpbulkwalk -v3 brought other than $rows rows" >&2; exit 1; }
        echo "$(calc %.1f "($t1 - $t0) / 1e6") $(awk '{printf "%.1f", ($1 + $2) * 1000}' "$WORK/time")" >>"$WORK/v3bw"
        QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --v3 benchv3 bench --walk "127.0.0.1:$port" .1.3.6.1.2.1 "$rows" \
            >>"$WORK/v3walk" 2>"$WORK/walk.err" || { cat "$WORK/walk.err" >&2; exit 1; }
        QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --v3 benchv3 bench --get "127.0.0.1:$port" .1.3.6.1.2.1.1.1.0 \
            >>"$WORK/v3get" 2>"$WORK/walk.err" || { cat "$WORK/walk.err" >&2; exit 1; }
        t0=$(now_ns)
        snmpget "${v3args[@]}" -M "+$MIBS" -m ALL "127.0.0.1:$port" .1.3.6.1.2.1.1.1.0 >/dev/null 2>&1
        t1=$(now_ns)
        calc %.1f "($t1 - $t0) / 1e6" >>"$WORK/v3sg"; echo >>"$WORK/v3sg"
    done
    kill "${PIDS[-1]}" "${PIDS[-2]}"
    sw_ms=$(cut -d' ' -f1 "$WORK/v3bw" | median); sw_cpu=$(cut -d' ' -f2 "$WORK/v3bw" | median)
    ms=$(field ms <"$WORK/v3walk" | median); cpu=$(field cpu_ms <"$WORK/v3walk" | median)
    row "Walk $(thousands "$rows") rows over SNMPv3 authPriv (SHA-256, AES-256; snmpd proxying a bench agent), GetBulk max-repetitions $BULK_REPS, offscreen (median of $RUNS)" \
        "$(calc %.0f "$rows * 1000 / $ms") rows/s ($(calc %.2f "$ms / 1000") s; CPU $(calc %.2f "$cpu * 1000 / $rows") µs/row)" \
        "snmpbulkwalk -v3 -Cr$BULK_REPS -Cc: $(calc %.0f "$rows * 1000 / $sw_ms") rows/s ($(calc %.2f "$sw_ms / 1000") s; CPU $(calc %.2f "$sw_cpu * 1000 / $rows") µs/row)" \
        "$(calc %.2f "$ms / $sw_ms")" "≤ 1.25 x" "$(full_verdict "$ms / $sw_ms <= 1.25")"
    get=$(field ms <"$WORK/v3get" | median); sg=$(grep . "$WORK/v3sg" | median)
    row "Get over SNMPv3 authPriv in a fresh process, engine ID discovery included (median of $RUNS)" \
        "$get ms from F9 to the row" "snmpget -v3: $sg ms, the whole process" "$(calc %.2f "$get / $sg")" "-" "-"
}

# MIB Values: the largest walk with the view on against off, alternating, on
# both platforms; then Save of the same rows with it off and on, which renders
# every row by the MIB where the view renders only the rows in sight.
mib_values() {
    local rows=${WALK_ROWS[-1]} platform label off on
    start_agent "$rows" MIB_AGENT
    : >"$WORK/mib-off"; : >"$WORK/mib-on"; : >"$WORK/mib-off-x"; : >"$WORK/mib-on-x"
    for _ in $(seq $RUNS); do
        norvane_walk offscreen "$rows" "$MIB_AGENT" >>"$WORK/mib-off"
        norvane_walk offscreen "$rows" "$MIB_AGENT" --mib-values >>"$WORK/mib-on"
        norvane_walk xcb "$rows" "$MIB_AGENT" >>"$WORK/mib-off-x"
        norvane_walk xcb "$rows" "$MIB_AGENT" --mib-values >>"$WORK/mib-on-x"
    done
    mkdir -p "$WORK/save"
    QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --mibsave "$MIB_AGENT" .1.3.6.1.2.1 "$rows" "$WORK/save" \
        >"$WORK/mibsave" 2>"$WORK/mibsave.err" || { cat "$WORK/mibsave.err" >&2; exit 1; }
    kill "${PIDS[-1]}"
    for platform in "" -x; do
        label=$([ -z "$platform" ] && echo offscreen || echo "Xvfb, list visible")
        off=$(field ms <"$WORK/mib-off$platform" | median)
        on=$(field ms <"$WORK/mib-on$platform" | median)
        row "Walk $(thousands "$rows") rows with MIB Values on, $label (median of $RUNS)" \
            "$(calc %.0f "$rows * 1000 / $on") rows/s ($(calc %.2f "$on / 1000") s)" \
            "- (MIB Values off: $(calc %.0f "$rows * 1000 / $off") rows/s, $(calc %.2f "$off / 1000") s)" \
            "$(calc %.2f "$on / $off")" "≤ 1.15 x off" "$(full_verdict "$on / $off <= 1.15")"
    done
    off=$(field off_ms <"$WORK/mibsave"); on=$(field on_ms <"$WORK/mibsave")
    row "Save $(thousands "$rows") rows with MIB Values on: every value rendered by the MIB (median of 3)" \
        "$on ms ($(calc %.1f "($on - $off) * 1000 / $rows") µs a row more)" "- (MIB Values off: $off ms)" \
        "$(calc %.2f "$on / $off")" "-" "-"
}

# MIB loading beside snmptranslate, and what the loaded modules take.
mib_load() {
    local mib translate mem peak first
    : >"$WORK/mib"; : >"$WORK/translate"; : >"$WORK/mibmem"; : >"$WORK/mibpeak"; : >"$WORK/mibfirst"
    for _ in $(seq $MIB_RUNS); do
        "$BIN/bench_walk_window" --mibload >"$WORK/mibload"
        field ms <"$WORK/mibload" >>"$WORK/mib"
        field mib_mib <"$WORK/mibload" >>"$WORK/mibmem"
        field peak_mib <"$WORK/mibload" >>"$WORK/mibpeak"
        # A first start: no verdicts kept, every file checked by norvane-mibcheck first.
        XDG_CACHE_HOME=$(mktemp -d -p "$WORK") "$BIN/bench_walk_window" --mibload >"$WORK/mibload"
        field ms <"$WORK/mibload" >>"$WORK/mibfirst"
        t0=$(now_ns)
        snmptranslate -M "+$MIBS" -m ALL -On SNMPv2-MIB::sysDescr.0 >/dev/null 2>&1
        t1=$(now_ns)
        calc %.1f "($t1 - $t0) / 1e6" >>"$WORK/translate"; echo >>"$WORK/translate"
    done
    mib=$(median <"$WORK/mib"); translate=$(median <"$WORK/translate")
    mem=$(median <"$WORK/mibmem"); peak=$(maximum <"$WORK/mibpeak"); first=$(median <"$WORK/mibfirst")
    row "MIB loading: the first name conversion, the bundled set and Net-SNMP's own ($(ls "$MIBS"/*.mib | wc -l) + $(ls /usr/share/snmp/mibs 2>/dev/null | wc -l) files), descriptions kept (median of $MIB_RUNS)" \
        "$mib ms (in the running program, the files checked at an earlier start; at a first start, every file checked first: $first ms); the modules $mem MiB resident, the process's peak $peak MiB" \
        "snmptranslate -On SNMPv2-MIB::sysDescr.0: $translate ms (whole process)" "$(calc %.2f "$mib / $translate")" "-" "-"
}

# The Watch: 1,000 counters of a bench agent's ifTable polled every second
# by the Watch window (offscreen, one of them graphed), its CPU between polls
# against snmpget fetching the same objects (128 OIDs a process at most: 8
# processes a tick); then a day at one sample a second of 100 objects in
# memory, and the graph 1,000 pixels wide repainted over a day of samples.
watch() {
    local objects=1000 seconds ticks=10 cpu sg repaint1 repaint8
    seconds=$([ $QUICK -eq 1 ] && echo 10 || echo 30)
    start_agent 3000 WATCH_AGENT
    QT_QPA_PLATFORM=offscreen "$BIN/bench_watch" --poll "$WATCH_AGENT" $objects "$seconds" >"$WORK/watchpoll" \
        2>"$WORK/watch.err" || { cat "$WORK/watch.err" >&2; exit 1; }
    for i in $(seq 0 $((objects - 1))); do echo ".1.3.6.1.2.1.2.2.1.$((10 + i % 11)).$((1 + i / 11))"; done >"$WORK/watch.oids"
    /usr/bin/time -f "%U %S" -o "$WORK/time" bash -c "for _ in \$(seq $ticks); do
        xargs -n 125 snmpget -v2c -c tarnel -On -r 0 $WATCH_AGENT <'$WORK/watch.oids' >/dev/null || exit 1; done"
    kill "${PIDS[-1]}"
    sg=$(awk -v t=$ticks '{printf "%.1f", ($1 + $2) * 1000 / t}' "$WORK/time")
    cpu=$(field cpu_ms_per_tick <"$WORK/watchpoll")
    row "Watch: $(thousands $objects) counters on one agent polled every second over SNMPv2c, the window open offscreen ($seconds s)" \
        "$(field core_percent <"$WORK/watchpoll")% of a core: $cpu ms CPU a tick, $(field gets_per_tick <"$WORK/watchpoll") Gets a tick, $(field skipped <"$WORK/watchpoll") ticks skipped" \
        "snmpget -v2c, 8 processes of 125 OIDs: $sg ms CPU a tick" "$(calc %.2f "$cpu / $sg")" "≤ 2% of a core" \
        "$(verdict "$(field core_percent <"$WORK/watchpoll") <= 2")"
    QT_QPA_PLATFORM=offscreen "$BIN/bench_watch" --memory 100 86400 >"$WORK/watchmem" 2>/dev/null
    row "Watch: 24 h of samples at one a second for 100 objects (8.64 M samples), heap in use" \
        "$(field heap_mib <"$WORK/watchmem") MiB ($(field bytes_per_sample <"$WORK/watchmem") bytes a sample)" "-" "-" \
        "≤ 150 MB" "$(verdict "$(field heap_mib <"$WORK/watchmem") * 1.048576 <= 150")"
    QT_QPA_PLATFORM=offscreen "$BIN/bench_watch" --repaint 1 86400 1000 >"$WORK/repaint1" 2>/dev/null
    QT_QPA_PLATFORM=offscreen "$BIN/bench_watch" --repaint 8 86400 1000 >"$WORK/repaint8" 2>/dev/null
    repaint1=$(field median_ms <"$WORK/repaint1"); repaint8=$(field median_ms <"$WORK/repaint8")
    row "Watch graph 1,000 px wide over 86,400 samples a series, offscreen (median of 30 repaints): 1 series / 8 series" \
        "$repaint1 ms (CPU $(field cpu_median_ms <"$WORK/repaint1")) / $repaint8 ms (CPU $(field cpu_median_ms <"$WORK/repaint8"))" \
        "-" "-" "≤ 16 ms" "$(verdict "$repaint1 <= 16") / $(verdict "$repaint8 <= 16")"

# Recordings: a walk of OPEN_ROWS saved as an snmpsim recording, the list
# cleared, the file opened (the event-delay probe running); and a walk of
# COMPARE_ROWS saved, walked again and compared with the file, from Compare
# With... to the window shown. SNMPv2c walks, to make the files quickly.
recordings() {
    local open_rows=1000000 compare_rows=100000
    [ $QUICK -eq 0 ] || { open_rows=100000; compare_rows=10000; }
    mkdir -p "$WORK/rec"
    : >"$WORK/open"; : >"$WORK/compare"
    start_agent "$open_rows" OPEN_AGENT
    for _ in 1 2 3; do
        QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --v2c --recordings "$OPEN_AGENT" .1.3.6.1.2.1 "$open_rows" \
            "$WORK/rec" >>"$WORK/open" 2>"$WORK/rec.err" || { cat "$WORK/rec.err" >&2; exit 1; }
    done
    kill "${PIDS[-1]}"
    start_agent "$compare_rows" COMPARE_AGENT
    for _ in $(seq $RUNS); do
        QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --v2c --recordings "$COMPARE_AGENT" .1.3.6.1.2.1 \
            "$compare_rows" "$WORK/rec" >>"$WORK/compare" 2>"$WORK/rec.err" || { cat "$WORK/rec.err" >&2; exit 1; }
    done
    kill "${PIDS[-1]}"
    local open cpu delay save mib compare
    open=$(field open_ms <"$WORK/open" | median); cpu=$(field open_cpu_ms <"$WORK/open" | median)
    delay=$(field open_event_delay_ms <"$WORK/open" | maximum); save=$(field save_ms <"$WORK/open" | median)
    mib=$(field file_mib <"$WORK/open" | head -1)
    row "Open a $(thousands "$open_rows")-line snmpsim recording ($(calc %.0f "$mib") MiB) into the list, offscreen (median of 3)" \
        "$open ms (CPU $cpu ms); largest event delay $delay ms" "-" "-" "≤ 2 s, event delay ≤ 50 ms" \
        "$(full_verdict "$open <= 2000 && $delay <= 50")"
    row "Save As the same $(thousands "$open_rows") rows as an snmpsim recording (median of 3)" "$save ms" "-" "-" "-" "-"
    compare=$(field compare_ms <"$WORK/compare" | median)
    row "Compare With... a $(thousands "$compare_rows")-row recording: the file read, two $(thousands "$compare_rows")-row walks compared, the window shown, offscreen (median of $RUNS)" \
        "$compare ms (CPU $(field compare_cpu_ms <"$WORK/compare" | median) ms)" "-" "-" "≤ 1 s" \
        "$(full_verdict "$compare <= 1000")"

# A burst of SNMPv2c traps (linkDown, five bindings) from one Net-SNMP
# session as fast as it sends them, into the Traps window (offscreen) and
# into snmptrapd on the same loopback burst, runs alternating.
TRAP_COUNT=10000
traps() {
    local port pid n prev listed rate delay sent td_counts=() lists=()
    # Not installed for you: on a desktop with systemd its package listens
    # on UDP 162 (snmptrapd.socket), the Traps window's own port.
    if [ ! -x /usr/sbin/snmptrapd ]; then
        echo "bench: /usr/sbin/snmptrapd is missing (apt-get install snmptrapd): the traps row has no anchor" >&2
    fi
    mkdir -p "$WORK/traps"
    printf 'disableAuthorization yes\n' >"$WORK/traps/snmptrapd.conf"
    : >"$WORK/traps/norvane"
    for _ in $(seq $RUNS); do
        QT_QPA_PLATFORM=offscreen "$BIN/bench_trap_window" "$BIN/trapburst" $TRAP_COUNT >>"$WORK/traps/norvane" \
            2>"$WORK/traps/err" || { cat "$WORK/traps/err" >&2; tail -1 "$WORK/traps/norvane" >&2; }
        [ -x /usr/sbin/snmptrapd ] || continue
        port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        rm -f "$WORK/traps/log"
        MIBS= /usr/sbin/snmptrapd -f -n -C -c "$WORK/traps/snmptrapd.conf" -Lf "$WORK/traps/log" -F 'T %v\n' \
            --persistentDir="$WORK/traps/state" -p "$WORK/traps/pid" "udp:127.0.0.1:$port" >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 100); do grep -q 'NET-SNMP version' "$WORK/traps/log" 2>/dev/null && break; sleep 0.05; done
        "$BIN/trapburst" "127.0.0.1:$port" $TRAP_COUNT >/dev/null
        # Counted once its log has stopped growing.
        prev=-1
        for _ in $(seq 60); do
            n=$(grep -c '^T ' "$WORK/traps/log" || true)
            [ "$n" = "$prev" ] && break
            prev=$n; sleep 0.5
        done
        kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
        td_counts+=("$n")
    done
    listed=$(field listed <"$WORK/traps/norvane" | sort -g | head -1)
    rate=$(field per_s <"$WORK/traps/norvane" | median)
    delay=$(field event_delay_ms <"$WORK/traps/norvane" | maximum)
    sent=$(field ms <"$WORK/traps/norvane" | median)
    local anchor="-" ratio="-"
    if [ ${#td_counts[@]} -gt 0 ]; then
        n=$(printf '%s\n' "${td_counts[@]}" | median)
        anchor="snmptrapd -f -n: $(thousands "$(calc %.0f "$n")") of $(thousands $TRAP_COUNT) logged (median; runs: ${td_counts[*]})"
        ratio="$(calc %.1f "$listed / ($n > 0 ? $n : 1)") x as many"
    fi
    row "Burst of $(thousands $TRAP_COUNT) SNMPv2c traps from one Net-SNMP session as fast as it sends them (median $(calc %.0f "$sent") ms) into the Traps window, offscreen ($RUNS runs)" \
        "fewest listed: $(thousands "$listed") of $(thousands $TRAP_COUNT), none lost; $(thousands "$(calc %.0f "$rate")") notifications/s to the last row (median); largest event delay $delay ms" \
        "$anchor" "$ratio" "all listed, event delay ≤ 50 ms" \
        "$(verdict "$listed == $TRAP_COUNT && $delay <= 50")"
}

echo "bench: $BUILD_TYPE build in $BUILD_DIR, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)" >&2

if [ $WATCH_ONLY -eq 1 ]; then
    watch
    print_table
    exit 0
fi

if [ $RECORDINGS_ONLY -eq 1 ]; then
    recordings
    print_table
    exit 0
fi

if [ $TRAPS_ONLY -eq 1 ]; then
    traps
    print_table
    exit 0
fi

if [ $MIB_ONLY -eq 1 ]; then
    mib_load
    mib_values
    print_table
    exit 0
fi

if [ $V3_ONLY -eq 1 ]; then
    v3
    print_table
    exit 0
fi

if [ $VERSIONS_ONLY -eq 1 ]; then
    versions
    v3
    print_table
    exit 0
fi

# The agent itself: snmpwalk against snmpd and against the bench agent.
if [ $WALKS_ONLY -eq 0 ] && [ -x /usr/sbin/snmpd ]; then
    mkdir -p "$WORK/snmpd"
    SNMPD_PORT=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' 2>/dev/null || echo 16161)
    printf 'agentAddress udp:127.0.0.1:%s\nrocommunity tarnel 127.0.0.1\n' "$SNMPD_PORT" >"$WORK/snmpd/snmpd.conf"
    /usr/sbin/snmpd -f -Lf "$WORK/snmpd/log" -C -c "$WORK/snmpd/snmpd.conf" -p "$WORK/snmpd/pid" \
        --persistentDir="$WORK/snmpd" >/dev/null 2>&1 &
    SNMPD_PID=$!
    PIDS+=($SNMPD_PID)
    for _ in $(seq 100); do
        snmpget -v1 -c tarnel -r0 -t0.2 127.0.0.1:$SNMPD_PORT .1.3.6.1.2.1.1.1.0 >/dev/null 2>&1 && break
        sleep 0.05
    done
    cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
    c0=$(cpu_ticks $SNMPD_PID); t0=$(now_ns)
    snmpwalk -v1 -Cc -c tarnel -M "+$MIBS" -m ALL 127.0.0.1:$SNMPD_PORT .1 >"$WORK/snmpd.out" 2>/dev/null
    t1=$(now_ns); c1=$(cpu_ticks $SNMPD_PID)
    SNMPD_ROWS=$(grep -c ' = ' "$WORK/snmpd.out")
    SNMPD_RATE=$(calc %.0f "$SNMPD_ROWS * 1e9 / ($t1 - $t0)")
    SNMPD_CPU=$(calc %.0f "($c1 - $c0) * 1e6 / $(getconf CLK_TCK) / $SNMPD_ROWS")
    kill $SNMPD_PID 2>/dev/null || true
fi
if [ $WALKS_ONLY -eq 0 ]; then
    start_agent "${WALK_ROWS[0]}" CHECK_AGENT
    snmpwalk_run "${WALK_ROWS[0]}" "$CHECK_AGENT" >"$WORK/check"
    read -r wall _ <"$WORK/check"
    AGENT_RATE=$(calc %.0f "${WALK_ROWS[0]} * 1000 / $wall")
    kill "${PIDS[-1]}"; wait "${PIDS[-1]}" 2>/dev/null || true
    AGENT_CPU=$(sed -n 's/.*, \([0-9.]*\) us CPU per request/\1/p' "$WORK/agent-${WALK_ROWS[0]}.log")
fi
if [ -n "${SNMPD_ROWS:-}" ]; then
    row "Agent: snmpwalk against the bench agent ($(thousands "${WALK_ROWS[0]}") rows) and against snmpd (its own $(thousands "$SNMPD_ROWS") rows)" \
        "bench agent: $AGENT_RATE rows/s, ${AGENT_CPU} µs CPU per request" \
        "snmpd: $SNMPD_RATE rows/s, ~${SNMPD_CPU} µs CPU per request" \
        "$(calc %.1f "$AGENT_RATE / $SNMPD_RATE") x faster" "faster than snmpd" \
        "$(verdict "$AGENT_RATE > $SNMPD_RATE")"
fi

# 1 and 2: walk throughput and responsiveness, runs alternating.
for rows in "${WALK_ROWS[@]}"; do
    start_agent "$rows" AGENT
    : >"$WORK/sw" ; : >"$WORK/off" ; : >"$WORK/x"; : >"$WORK/engine"; : >"$WORK/events"
    for _ in $(seq $RUNS); do
        snmpwalk_run "$rows" "$AGENT" >>"$WORK/sw"
        norvane_walk offscreen "$rows" "$AGENT" >>"$WORK/off"
        norvane_walk xcb "$rows" "$AGENT" >>"$WORK/x"
        # What the window adds: the same query run without it, with and without the events.
        if [ "$rows" -eq "${WALK_ROWS[-1]}" ]; then
            engine_walk --engine "$rows" "$AGENT" >>"$WORK/engine"
            engine_walk --engine-events "$rows" "$AGENT" >>"$WORK/events"
        fi
    done
    kill "${PIDS[-1]}"
    sw_ms=$(cut -d' ' -f1 "$WORK/sw" | median)
    sw_cpu=$(cut -d' ' -f2 "$WORK/sw" | median)
    platforms=(off x)
    [ "$rows" -eq "${WALK_ROWS[-1]}" ] && platforms+=(engine events)
    for platform in "${platforms[@]}"; do
        ms=$(field ms <"$WORK/$platform" | median)
        cpu=$(field cpu_ms <"$WORK/$platform" | median)
        case $platform in
            off) label=offscreen ;;
            x) label="Xvfb, list visible" ;;
            engine) label="the query run alone, rows into the result model: no window, no event processing" ;;
            events) label="the query run alone with events processed after every row: no window" ;;
        esac
        target="-"; met="-"
        if [ "$rows" -eq "${WALK_ROWS[-1]}" ] && [ "$platform" = off -o "$platform" = x ]; then
            target="≤ 1.00 x"; met=$(full_verdict "$ms / $sw_ms <= 1.00")
        fi
        row "Walk $(thousands "$rows") rows, $label (median of $RUNS)" \
            "$(calc %.0f "$rows * 1000 / $ms") rows/s ($(calc %.2f "$ms / 1000") s; CPU $(calc %.1f "$cpu * 1000 / $rows") µs/row)" \
            "snmpwalk -v1 -Cc: $(calc %.0f "$rows * 1000 / $sw_ms") rows/s ($(calc %.2f "$sw_ms / 1000") s; CPU $(calc %.1f "$sw_cpu * 1000 / $rows") µs/row)" \
            "$(calc %.2f "$ms / $sw_ms")" "$target" "$met"
        if [ "$rows" -eq "$RESPONSIVE_ROWS" ] && [ "$platform" = off -o "$platform" = x ]; then
            delay=$(field event_delay_ms <"$WORK/$platform" | maximum)
            late=$(field timer_late_ms <"$WORK/$platform" | maximum)
            start=$(field start_event_delay_ms <"$WORK/$platform" | maximum)
            RESPONSIVE+=("$label|$delay|$late|$start")
        fi
    done
done
versions
v3
mib_values
traps
for entry in "${RESPONSIVE[@]}"; do
    IFS='|' read -r label delay late start <<<"$entry"
    row "Largest event delay during a $(thousands "$RESPONSIVE_ROWS")-row walk, $label (worst of $RUNS)" \
        "$delay ms (10 ms timer late by $late ms; run start before the first row, MIB loading included: $start ms)" \
        "-" "-" "≤ 50 ms" "$(verdict "$delay <= 50")"
done
if [ $WALKS_ONLY -eq 1 ]; then
    print_table
    exit 0
fi

# Waiting for answers: a walk of a slow agent, and a run against one that never
# answers (timeout 1000 ms, 1 retry: the error box after 2 s).
SLOW_ROWS=10
SLOW_MS=200
start_agent "$SLOW_ROWS" SLOW_AGENT --delay-ms $SLOW_MS
start_agent "$SLOW_ROWS" SILENT_AGENT --silent 1
: >"$WORK/slow"; : >"$WORK/silent"
for _ in $(seq $RUNS); do
    QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --wait "$SLOW_AGENT" .1.3.6.1.2.1 "$SLOW_ROWS" \
        >>"$WORK/slow" 2>"$WORK/wait.err" || { cat "$WORK/wait.err" >&2; exit 1; }
    QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --wait "$SILENT_AGENT" .1.3.6.1.2.1 0 \
        >>"$WORK/silent" 2>"$WORK/wait.err" || { cat "$WORK/wait.err" >&2; exit 1; }
done
kill "${PIDS[-1]}" "${PIDS[-2]}"
slow=$(field event_delay_ms <"$WORK/slow" | maximum)
silent=$(field event_delay_ms <"$WORK/silent" | maximum)
row "Largest event delay while requests wait: a $SLOW_ROWS-row walk of an agent answering after $SLOW_MS ms / an agent that never answers (offscreen, worst of $RUNS)" \
    "$slow ms ($(calc %.1f "$(field ms <"$WORK/slow" | median) / 1000") s) / $silent ms ($(calc %.1f "$(field ms <"$WORK/silent" | median) / 1000") s to the error box)" \
    "-" "-" "≤ 50 ms" "$(verdict "$slow <= 50 && $silent <= 50")"

# 3 and 4: a real walk of the scale rows into the list, then memory, End and Save.
mkdir -p "$WORK/save"
start_agent "$SCALE_ROWS" SCALE_AGENT
QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --scale "$SCALE_AGENT" .1.3.6.1.2.1 "$SCALE_ROWS" "$WORK/save" \
    >"$WORK/scale" 2>"$WORK/scale.err" || { cat "$WORK/scale.err" >&2; exit 1; }
kill "${PIDS[-1]}"
read -r line_bytes rss_row delta_row rss walk_ms scale_delay scroll end save cp file find find_cpu find_delay <<<"$(
    for k in line_bytes rss_per_row delta_per_row rss_mib walk_ms event_delay_ms scroll_ms end_ms save_ms cp_ms \
        file_mib find_ms find_cpu_ms find_event_delay_ms; do
        field $k <"$WORK/scale"
    done | tr '\n' ' ')"
row "Largest event delay during the $(thousands "$SCALE_ROWS")-row walk, offscreen (one run, $(calc %.0f "$walk_ms / 1000") s)" \
    "$scale_delay ms" "-" "-" "≤ 50 ms" "$(verdict "$scale_delay <= 50")"
row "Memory after $(thousands "$SCALE_ROWS") rows in the list" \
    "$(calc %.0f "$rss_row") bytes/row resident ($(calc %.0f "$rss") MiB in all; $(calc %.0f "$delta_row") bytes/row grown during the walk)" \
    "saved line: $(calc %.1f "$line_bytes") bytes" "$(calc %.2f "$rss_row / $line_bytes") x line" "≤ 4 x line" \
    "$(full_verdict "$rss_row / $line_bytes <= 4")"
row "Scroll bar to the end / End key selecting the last of $(thousands "$SCALE_ROWS") rows, painted" \
    "$scroll ms / $end ms" "-" "-" "instant (≤ 50 ms)" "$(verdict "$scroll <= 50 && $end <= 50")"
row "Save $(thousands "$SCALE_ROWS") rows ($(calc %.0f "$file") MiB; median of 3)" \
    "$save ms" \
    "cp: $cp ms" "$(calc %.1f "$save / $cp")" "≤ 3 x" "$(verdict "$save / $cp <= 3")"
row "Find through $(thousands "$SCALE_ROWS") rows with no match (F3 to \"Not found\"), offscreen (one run)" \
    "$find ms (CPU $find_cpu ms); largest event delay during it $find_delay ms" "-" "-" \
    "≤ 0.5 s, event delay ≤ 50 ms" "$(full_verdict "$find <= 500 && $find_delay <= 50")"

# 6: the Table View of a 100,000-row walk: opened, its memory, a walk it follows.
TABLE_ROWS=100000
start_agent "$TABLE_ROWS" TABLE_AGENT
: >"$WORK/tables"
for _ in $(seq $RUNS); do
    QT_QPA_PLATFORM=offscreen "$BIN/bench_walk_window" --tables "$TABLE_AGENT" .1.3.6.1.2.1 "$TABLE_ROWS" \
        >>"$WORK/tables" 2>"$WORK/tables.err" || { cat "$WORK/tables.err" >&2; exit 1; }
done
kill "${PIDS[-1]}"
tables_median() { field "$1" <"$WORK/tables" | median; }
open=$(tables_median open_ms); open_cpu=$(tables_median open_cpu_ms)
again=$(tables_median refresh_ms); again_cpu=$(tables_median refresh_cpu_ms)
list_heap=$(tables_median list_heap_mib); table_heap=$(tables_median table_heap_kib)
pixels=$(tables_median window_pixels_kib)
plain=$(tables_median walk_ms); plain_cpu=$(tables_median walk_cpu_ms)
followed=$(tables_median followed_walk_ms); followed_cpu=$(tables_median followed_cpu_ms)
followed_delay=$(field followed_event_delay_ms <"$WORK/tables" | maximum)
grid_rows=$(field grid_rows <"$WORK/tables" | head -1); grid_columns=$(field grid_columns <"$WORK/tables" | head -1)
row "Table View of $(thousands "$TABLE_ROWS") rows (ifTable $(thousands "$grid_rows") x $((grid_columns - 1)), ipAddrTable): opened, tables found, grid painted, offscreen (median of $RUNS)" \
    "$open ms (CPU $open_cpu ms); found again: $again ms (CPU $again_cpu ms)" "-" "-" "≤ 300 ms" \
    "$(verdict "$open <= 300")"
rows_part=$(calc %.1f "($table_heap - $pixels) * 100 / ($list_heap * 1024)")
in_all=$(calc %.1f "$table_heap * 100 / ($list_heap * 1024)")
row "Memory added by the open Table View of $(thousands "$TABLE_ROWS") rows, heap in use (median of $RUNS)" \
    "$(calc %.0f "$table_heap") KiB, of which the window's pixels $(calc %.0f "$pixels") KiB (offscreen they are heap)" \
    "the list: $(calc %.1f "$list_heap") MiB" "$rows_part% without the pixels ($in_all% in all)" "≤ 10% of the list's" \
    "$(verdict "$rows_part <= 10") (in all: $(verdict "$in_all <= 10"))"
row "Walk $(thousands "$TABLE_ROWS") rows with the Table View open, following it, offscreen (median of $RUNS)" \
    "$(calc %.2f "$followed / 1000") s (CPU $(calc %.2f "$followed_cpu / 1000") s); largest event delay $followed_delay ms" \
    "the same walk, no Table View: $(calc %.2f "$plain / 1000") s (CPU $(calc %.2f "$plain_cpu / 1000") s)" \
    "$(calc %.2f "$followed / $plain") (CPU $(calc %.2f "$followed_cpu / $plain_cpu"))" "event delay ≤ 50 ms" \
    "$(verdict "$followed_delay <= 50")"

# 5: start-up, and MIB loading beside snmptranslate.
for platform in offscreen xcb; do
    label=$([ $platform = offscreen ] && echo offscreen || echo Xvfb)
    out=$(DISPLAY=$XDISPLAY QT_QPA_PLATFORM=$platform "$BIN/bench_walk_window" --startup-runs $STARTUP_RUNS 2>/dev/null)
    ms=$(field median_ms <<<"$out")
    row "Start-up to the window shown and idle, $label (median of $STARTUP_RUNS)" \
        "$ms ms (min $(field min_ms <<<"$out"), max $(field max_ms <<<"$out"))" "-" "-" "≤ 400 ms" \
        "$(verdict "$ms <= 400")"
done
mib_load
recordings

# 6: the MIB Tree, its loaded set grown by a generated module of 34,000
# described objects to the size of the RFC set and Net-SNMP's together.
: >"$WORK/mibtree"; : >"$WORK/mibcold"
for _ in $(seq $MIB_RUNS); do
    QT_QPA_PLATFORM=offscreen "$BIN/bench_mib_tree" >>"$WORK/mibtree" 2>/dev/null
    QT_QPA_PLATFORM=offscreen "$BIN/bench_mib_tree" --cold >>"$WORK/mibcold" 2>/dev/null
done
m() { field "$1" <"$WORK/$2" | median; }
NODES=$(thousands "$(field nodes <"$WORK/mibtree" | head -1)")
row "Opening the MIB Tree over $NODES nodes, offscreen (median of $MIB_RUNS): MIBs loaded before / the first open, loading them" \
    "$(m open_ms mibtree) ms (CPU $(m open_cpu_ms mibtree) ms) / $(m open_ms mibcold) ms (CPU $(m open_cpu_ms mibcold) ms; of it, measured apart, MIB loading $(m load_ms mibtree) ms and the tree taken $(m tree_ms mibtree) ms)" \
    "-" "-" "≤ 300 ms" "$(verdict "$(m open_ms mibcold) <= 300")"
row "MIB Tree search over $NODES nodes, $(field queries <"$WORK/mibtree" | head -1) fixed queries (median of 5 each, runs median of $MIB_RUNS): median / worst query, typed into the window (results and definition shown) and in the engine alone" \
    "window: $(m search_median_ms mibtree) / $(m search_worst_ms mibtree) ms (CPU $(m search_worst_cpu_ms mibtree)); engine: $(m engine_median_ms mibtree) / $(m engine_worst_ms mibtree) ms" \
    "-" "-" "≤ 50 ms" "$(verdict "$(m search_worst_ms mibtree) <= 50")"
watch

print_table
