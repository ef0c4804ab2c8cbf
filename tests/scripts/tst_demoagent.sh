#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/demo-agent.sh as run.sh uses it, with a stand-in for Norvane that
# notes its arguments and asks the agent they name. Port 161's part is
# played by a free port (NORVANE_DEMO_PORT), held by an snmpd of another
# community, then by one that answers "tarnel" itself.
#   tst_demoagent.sh DEMO_AGENT_SCRIPT
set -euo pipefail
WORK=$(mktemp -d)
OTHER=
trap '[ -z "$OTHER" ] || kill "$OTHER"; wait; rm -rf "$WORK"' EXIT
fail() { echo "FAIL ($community): $*" >&2; exit 1; }
port=$(python3 -c 'import socket;s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("127.0.0.1",0));print(s.getsockname()[1])')
printf '#!/bin/sh\necho "$*" >"$OUT/args"\nsnmpget -v1 -c "$4" -t 1 -Oqv "$2" 1.3.6.1.2.1.1.5.0 >"$OUT/sysName" 2>&1 || true\n' >"$WORK/norvane"
chmod +x "$WORK/norvane"

for community in public tarnel; do
    out=$WORK/$community
    mkdir -p "$out/tmp"
    printf 'agentAddress udp:127.0.0.1:%s\nrocommunity %s 127.0.0.1\nsysName other-agent\n' "$port" "$community" >"$out/snmpd.conf"
    /usr/sbin/snmpd -f -Lf "$out/snmpd.log" -C -c "$out/snmpd.conf" --persistentDir="$out" </dev/null &
    OTHER=$!
    for _ in $(seq 50); do snmpget -v1 -c "$community" -t 0.2 -r 0 "127.0.0.1:$port" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1 && break; done
    SECONDS=0
    OUT=$out NORVANE_DEMO_PORT=$port TMPDIR=$out/tmp bash "$1" "$WORK/norvane" >"$out/said" 2>&1 || fail "$(cat "$out/said")"
    [ $SECONDS -le 10 ] || fail "took $SECONDS s"
    read -r _ agent _ name <"$out/args"
    [ "$name" = tarnel ] || fail "community: $(cat "$out/args")"
    if [ $community = public ]; then
        # Another community on the port: a demo agent on a free port, said, and gone with the program.
        [ "$agent" != "127.0.0.1:$port" ] && grep -qx '"norvane-demo"' "$out/sysName" || fail "agent $agent: $(cat "$out/sysName")"
        grep -q "Demo agent on $agent (community tarnel)" "$out/said" || fail "not said: $(cat "$out/said")"
        ! snmpget -v1 -c tarnel -t 0.3 -r 0 "$agent" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1 || fail "the demo agent outlived the program"
    else
        [ "$agent" = "127.0.0.1:$port" ] && grep -qx '"other-agent"' "$out/sysName" || fail "the agent there was not used"
    fi
    [ -z "$(ls -A "$out/tmp")" ] || fail "left behind: $(ls -A "$out/tmp")"
    kill "$OTHER"; wait "$OTHER" || true; OTHER=
done
echo "demo agent: 2 passed, 0 failed"
