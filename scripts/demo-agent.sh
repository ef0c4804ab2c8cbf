#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs PROGRAM [ARGS...] with a demo agent for its first F9: Net-SNMP's
# snmpd, loopback only, read-only community "tarnel", its configuration and
# state in a temporary folder that goes with it. An agent that already
# answers "tarnel" on 127.0.0.1:PORT is used as it is; otherwise the demo
# agent takes that port when it may (root), else a free one. PROGRAM gets
# --agent and --community for the agent chosen, before ARGS.
#
#   scripts/demo-agent.sh PROGRAM [ARGS...]
# NORVANE_DEMO_PORT: the port tried first (161).
set -euo pipefail
PORT=${NORVANE_DEMO_PORT:-161}
COMMUNITY=tarnel

AGENT_DIR=$(mktemp -d -t norvane-demo.XXXXXX)
AGENT_PID=
cleanup() {
    if [ -n "$AGENT_PID" ]; then
        kill "$AGENT_PID" 2>/dev/null || true
        # snmpd writes its state as it ends: the folder goes after it.
        wait "$AGENT_PID" 2>/dev/null || true
    fi
    rm -rf "$AGENT_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

answers() { snmpget -v1 -c "$COMMUNITY" -t "$2" -r 0 "127.0.0.1:$1" 1.3.6.1.2.1.1.1.0 >/dev/null 2>&1; }

# Up to 5 s for snmpd to answer; at once when it ended (a busy port, no right to it).
start_agent() {
    local port=$1
    cat >"$AGENT_DIR/snmpd.conf" <<CONF
agentAddress udp:127.0.0.1:$port
rocommunity $COMMUNITY 127.0.0.1
sysLocation Norvane demo agent, loopback only
sysContact you@localhost
sysName norvane-demo
CONF
    /usr/sbin/snmpd -f -Lf "$AGENT_DIR/snmpd.log" -C -c "$AGENT_DIR/snmpd.conf" \
        -p "$AGENT_DIR/snmpd.pid" --persistentDir="$AGENT_DIR" </dev/null &
    AGENT_PID=$!
    for _ in $(seq 25); do
        kill -0 "$AGENT_PID" 2>/dev/null || break
        answers "$port" 0.2 && return 0
    done
    kill "$AGENT_PID" 2>/dev/null || true
    wait "$AGENT_PID" 2>/dev/null || true
    AGENT_PID=
    return 1
}

free_port() {
    python3 -c 'import socket;s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("127.0.0.1",0));print(s.getsockname()[1])' 2>/dev/null \
        || echo $((20000 + RANDOM % 20000))
}

agent=
if answers "$PORT" 0.5; then
    agent=127.0.0.1:$PORT
    echo "An agent with community $COMMUNITY already answers on $agent: Norvane starts with it."
else
    echo "Starting the demo agent (snmpd, community $COMMUNITY)..."
    if start_agent "$PORT"; then
        agent=127.0.0.1:$PORT
    else
        # Another agent on the port (Debian's snmpd service, community "public"),
        # or no right to it. A port picked at random (no python3) may be taken too.
        for _ in 1 2 3; do
            port=$(free_port)
            start_agent "$port" && { agent=127.0.0.1:$port; break; }
        done
    fi
    if [ -n "$agent" ]; then
        echo "Demo agent on $agent (community $COMMUNITY): Norvane starts with it in the Agent box."
    else
        echo "warning: the demo agent did not start:" >&2
        tail -n 5 "$AGENT_DIR/snmpd.log" >&2 2>/dev/null || true
    fi
fi

program=$1
shift
args=()
[ -n "$agent" ] && args=(--agent "$agent" --community "$COMMUNITY")
"$program" "${args[@]}" "$@"
