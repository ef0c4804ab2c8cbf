#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Norvane and starts it with a demo agent: a loopback-only snmpd with
# community "tarnel", on port 161 when allowed, otherwise on a free port.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Only the program: neither the tests nor what they need.
BUILD_TARGETS=norvane
source "$ROOT/scripts/setup.sh"

AGENT_DIR=$(mktemp -d)
AGENT_PID=
cleanup() {
    [ -n "$AGENT_PID" ] && kill "$AGENT_PID" 2>/dev/null || true
    rm -rf "$AGENT_DIR"
}
trap cleanup EXIT

port_answers() { snmpget -v1 -c tarnel -t 0.5 -r 0 "127.0.0.1:$1" 1.3.6.1.2.1.1.1.0 >/dev/null 2>&1; }

start_agent() {
    local port=$1
    cat > "$AGENT_DIR/snmpd.conf" <<CONF
agentAddress udp:127.0.0.1:$port
rocommunity tarnel 127.0.0.1
sysLocation Norvane demo agent, loopback only
sysContact you@localhost
sysName norvane-demo
CONF
    /usr/sbin/snmpd -f -Lf "$AGENT_DIR/snmpd.log" -C -c "$AGENT_DIR/snmpd.conf" \
        -p "$AGENT_DIR/snmpd.pid" --persistentDir="$AGENT_DIR" &
    AGENT_PID=$!
    for _ in $(seq 50); do port_answers "$port" && return 0; sleep 0.1; done
    kill "$AGENT_PID" 2>/dev/null || true; AGENT_PID=
    return 1
}

free_port() { python3 -c 'import socket;s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("127.0.0.1",0));print(s.getsockname()[1])' 2>/dev/null \
              || echo $((20000 + RANDOM % 20000)); }

if port_answers 161; then
    echo "An agent already answers on 127.0.0.1:161; no demo agent started."
elif start_agent 161; then
    echo "Demo agent on 127.0.0.1:161 (community tarnel)."
else
    port=$(free_port)
    if start_agent "$port"; then
        echo "Demo agent on 127.0.0.1:$port (community tarnel): type 127.0.0.1:$port as the agent."
    else
        echo "warning: the demo agent did not start (see $AGENT_DIR/snmpd.log)" >&2
    fi
fi

"$BUILD_DIR/bin/norvane" "$@"
