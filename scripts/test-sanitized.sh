#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Norvane and every test with AddressSanitizer and UndefinedBehaviorSanitizer
# into ${BUILD_DIR:-build-asan} and runs the tests there: any memory error,
# leak or undefined behaviour fails the test it happens in. Arguments go to ctest.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$ROOT/build-asan}
export CMAKE_EXTRA_ARGS="${CMAKE_EXTRA_ARGS:-} -DNORVANE_SANITIZE=ON -DNORVANE_TESTS=ON"
SETUP_NEEDS=test

# The normal build's MIB folder, when it has one, saves fetching it again.
if [ -f "$ROOT/build/share/norvane/mibs/.complete" ] && [ ! -f "$BUILD_DIR/share/norvane/mibs/.complete" ]; then
    mkdir -p "$BUILD_DIR/share/norvane"
    cp -r "$ROOT/build/share/norvane/mibs" "$BUILD_DIR/share/norvane/"
fi
source "$ROOT/scripts/setup.sh"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$BUILD_DIR"
ctest --output-on-failure -j2 "$@"
