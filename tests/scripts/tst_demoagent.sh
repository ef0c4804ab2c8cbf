#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/demo-agent.sh as run.sh uses it, with a stand-in for Norvane that
# notes its arguments and asks the agent they name. Port 161's part is
# played by a free port (NORVANE_DEMO_PORT), held by an snmpd of another
# community, then by one that answers "tarnel" itself.
#   tst_demoagent.sh DEMO_AGENT_SCRIPT
set -euo pipefail
SCRIPT=$1
WORK=$(mktemp -d)
OTHER_PID=
trap '[ -z "$OTHER_PID" ] || kill "$OTHER_PID" 2>/dev/null; wait 2>/dev/null; rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
port=$(python3 -c 'import socket;s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("127.0.0.1",0));print(s.getsockname()[1])')

cat >"$WORK/norvane" <<'STANDIN'
#!/usr/bin/env bash
echo "$*" >"$OUT/args"
snmpget -v1 -c "$4" -t 1 -r 1 -Oqv "$2" 1.3.6.1.2.1.1.5.0 >"$OUT/sysName" 2>&1 || true
STANDIN
chmod +x "$WORK/norvane"

for community in public tarnel; do
    mkdir -p "$WORK/$community/tmp"
    printf 'agentAddress udp:127.0.0.1:%s\nrocommunity %s 127.0.0.1\nsysName other-agent\n' "$port" "$community" >"$WORK/$community/snmpd.conf"
    /usr/sbin/snmpd -f -Lf "$WORK/$community/snmpd.log" -C -c "$WORK/$community/snmpd.conf" \
        --persistentDir="$WORK/$community" </dev/null &
    OTHER_PID=$!
    for _ in $(seq 50); do
        snmpget -v1 -c "$community" -t 0.2 -r 0 "127.0.0.1:$port" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1 && break
    done

    started=$(date +%s)
    OUT=$WORK/$community NORVANE_DEMO_PORT=$port TMPDIR=$WORK/$community/tmp \
        bash "$SCRIPT" "$WORK/norvane" >"$WORK/$community/said" 2>&1 || fail "demo-agent.sh failed: $(cat "$WORK/$community/said")"
    [ $(( $(date +%s) - started )) -le 10 ] || fail "took more than 10 s"
    args=$(cat "$WORK/$community/args")
    agent=$(echo "$args" | awk '{print $2}')
    if [ $community = public ]; then
        # The port's agent has another community: a demo agent on a free port, the boxes filled.
        [[ $args == "--agent 127.0.0.1:"*" --community tarnel" && $agent != "127.0.0.1:$port" ]] || fail "arguments: $args"
        grep -q "^\"norvane-demo\"$" "$WORK/$community/sysName" || fail "the demo agent did not answer: $(cat "$WORK/$community/sysName")"
        grep -q "Demo agent on $agent (community tarnel)" "$WORK/$community/said" || fail "no line says where: $(cat "$WORK/$community/said")"
        ! snmpget -v1 -c tarnel -t 0.3 -r 0 "$agent" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1 || fail "the demo agent outlived the program"
    else
        [ "$args" = "--agent 127.0.0.1:$port --community tarnel" ] || fail "arguments: $args"
        grep -q "^\"other-agent\"$" "$WORK/$community/sysName" || fail "the agent there was not used"
    fi
    [ -z "$(ls -A "$WORK/$community/tmp")" ] || fail "left in the temporary folder: $(ls -A "$WORK/$community/tmp")"
    kill "$OTHER_PID"; wait "$OTHER_PID" 2>/dev/null || true; OTHER_PID=
done
echo "demo agent: 2 passed, 0 failed"
