#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Norvane and runs every test.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SETUP_NEEDS=test
CMAKE_EXTRA_ARGS="${CMAKE_EXTRA_ARGS:-} -DNORVANE_TESTS=ON"
source "$ROOT/scripts/setup.sh"
cd "$BUILD_DIR"
ctest --output-on-failure -j2 "$@"
