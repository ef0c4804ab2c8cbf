#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Bounded fuzzing: builds the libFuzzer targets of fuzz/ with clang (ASan and
# UBSan on) into ${FUZZ_BUILD_DIR:-build-fuzz} and runs each for N seconds,
# one after the other. `scripts/fuzz.sh 5` is the CI smoke run.
#
#   scripts/fuzz.sh [seconds, default 60] [target...]   targets: hive rowrender oidtext berreader snmprec walktext trapdecode
#
# New inputs collect in <dir>/corpus/<target> (seeded from fuzz/corpus/<target>),
# each run's log in <dir>/<target>.log, findings in <dir>/artifacts/. The exit
# status is non-zero when a target found something.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_EACH=${1:-60}
[ $# -gt 0 ] && shift
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(hive rowrender oidtext berreader snmprec walktext trapdecode)

# Packages (clang and its fuzzer runtime besides) and the MIB folder come
# from the normal set-up, without its build; names in rows are decoded
# against the same MIBs.
SETUP_NEEDS=fuzz
SETUP_BUILD=0
source "$ROOT/scripts/setup.sh"
FUZZ_DIR=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
cmake -S "$ROOT" -B "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DNORVANE_FUZZ=ON -DNORVANE_TESTS=OFF >/dev/null
mkdir -p "$FUZZ_DIR/share/norvane" "$FUZZ_DIR/artifacts"
rm -rf "$FUZZ_DIR/share/norvane/mibs"
cp -r "$BUILD_DIR/share/norvane/mibs" "$FUZZ_DIR/share/norvane/"
cmake --build "$FUZZ_DIR" -j2 --target "${TARGETS[@]/#/fuzz_}"

export LSAN_OPTIONS=suppressions=$ROOT/fuzz/lsan.supp:print_suppressions=0
status=0
for name in "${TARGETS[@]}"; do
    corpus=$FUZZ_DIR/corpus/$name
    log=$FUZZ_DIR/$name.log
    mkdir -p "$corpus"
    options=(-max_total_time="$SECONDS_EACH" -timeout=25 -print_final_stats=1
             -artifact_prefix="$FUZZ_DIR/artifacts/$name-")
    [ -f "$ROOT/fuzz/$name.dict" ] && options+=(-dict="$ROOT/fuzz/$name.dict")
    echo "== fuzz_$name, ${SECONDS_EACH} s"
    if "$FUZZ_DIR/bin/fuzz_$name" "${options[@]}" "$corpus" "$ROOT/fuzz/corpus/$name" >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
    else
        status=1
        tail -n 60 "$log"
        echo "fuzz_$name found something: see $log and $FUZZ_DIR/artifacts/" >&2
    fi
done
exit $status
