#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Norvane and starts it with a demo agent (scripts/demo-agent.sh): a
# loopback-only snmpd with community "tarnel", on port 161 when allowed,
# otherwise on a free port, and the window's boxes pointing at it.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Only the program: neither the tests nor what they need.
BUILD_TARGETS=norvane
source "$ROOT/scripts/setup.sh"

exec bash "$ROOT/scripts/demo-agent.sh" "$BUILD_DIR/bin/norvane" "$@"
