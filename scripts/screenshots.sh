#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Retakes the README's pictures (docs/*.png) from the built program: a bare
# Xvfb screen, a demo snmpd, a first start with a settings folder of its own,
# keys sent with xdotool, and each picture cut from the screen to the window
# it shows (with whatever menu is open over it). The Table View and the find
# bar show a walk of the recorded Cisco switch that snmpsim serves; Compare,
# two walks of the demo agent; the Traps window what Net-SNMP's snmptrap and
# snmpinform send it. Needs xvfb, xdotool, imagemagick, snmpd, snmp and
# snmpsim; build first (scripts/run.sh
# or scripts/test.sh).
# OUT=folder writes the pictures elsewhere.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
OUT=${OUT:-$ROOT/docs}
NORVANE=$BUILD_DIR/bin/norvane
for tool in Xvfb xdotool import /usr/sbin/snmpd snmpsimd; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install xvfb xdotool imagemagick snmpd snmpsim)" >&2; exit 1; }
done
[ -x "$NORVANE" ] || { echo "missing: $NORVANE; build first" >&2; exit 1; }

WORK=$(mktemp -d)
PIDS=()
cleanup() {
    # Norvane, the agent, then the X server.
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

# A display number nobody uses.
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
export DISPLAY=:$n
Xvfb "$DISPLAY" -noreset -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# The demo agent of scripts/run.sh: on port 161 the agent box shows its
# built-in "127.0.0.1"; elsewhere the port is typed after it.
answers() { snmpget -v1 -c tarnel -t 0.5 -r 0 "127.0.0.1:$1" 1.3.6.1.2.1.1.1.0 >/dev/null 2>&1; }
port=161
if [ "$(id -u)" -ne 0 ] || answers 161; then
    port=$(python3 -c 'import socket;s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("127.0.0.1",0));print(s.getsockname()[1])')
fi
cat >"$WORK/snmpd.conf" <<CONF
agentAddress udp:127.0.0.1:$port
rocommunity tarnel 127.0.0.1
sysLocation Norvane demo agent, loopback only
sysContact you@localhost
sysName norvane-demo
CONF
/usr/sbin/snmpd -f -Lf "$WORK/snmpd.log" -C -c "$WORK/snmpd.conf" -p "$WORK/snmpd.pid" --persistentDir="$WORK" &
PIDS+=($!)
for _ in $(seq 50); do answers "$port" && break; sleep 0.1; done
answers "$port" || { echo "the demo agent did not start: $(cat "$WORK/snmpd.log")" >&2; exit 1; }

# The recorded Cisco 3750 switch, under the community "cisco" (snmpsimd
# serves <community>.snmprec; as root it runs as nobody).
mkdir -p "$WORK/snmpsim/data" "$WORK/snmpsim/cache"
gzip -dc /usr/share/doc/snmpsim/examples/data/cisco_16_switch.snmprec.gz >"$WORK/snmpsim/data/cisco.snmprec"
chmod -R a+rX "$WORK" && chmod a+w "$WORK/snmpsim/cache"
simport=$(python3 -c 'import socket;s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("127.0.0.1",0));print(s.getsockname()[1])')
simuser=()
[ "$(id -u)" -ne 0 ] || simuser=(--process-user=nobody --process-group=nogroup)
snmpsimd --data-dir="$WORK/snmpsim/data" --cache-dir="$WORK/snmpsim/cache" \
    --agent-udpv4-endpoint="127.0.0.1:$simport" "${simuser[@]}" >"$WORK/snmpsim.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 300); do snmpget -v1 -c cisco -t 0.5 -r 0 "127.0.0.1:$simport" 1.3.6.1.2.1.1.1.0 >/dev/null 2>&1 && break; sleep 0.1; done

# A data folder of its own too: no module of the user's own MIB folder shows.
XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data "$NORVANE" >"$WORK/norvane.log" 2>&1 &
PIDS+=($!)

# The window of that title once it is shown.
window() {
    local id=
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "no window \"$1\" (see $WORK/norvane.log)" >&2; exit 1; }
    echo "$id"
}
# The screen's pixels under the window of that title: menus open over it come too.
shoot() {
    # shellcheck disable=SC2034 # SCREEN and WINDOW come with the eval too
    local id X Y WIDTH HEIGHT SCREEN WINDOW
    id=$(window "$1")
    eval "$(xdotool getwindowgeometry --shell "$id")"
    sleep 0.5 # the last key's repaint
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$OUT/$2"
    echo "$OUT/$2: ${WIDTH}x${HEIGHT}"
}
keys() { xdotool key --delay 150 "$@"; }
# Without a window manager a new dialog may not get the keyboard by itself.
focus() {
    local id
    id=$(window "$1")
    xdotool windowfocus --sync "$id"
    sleep 0.5
}

window Norvane >/dev/null
sleep 1
if [ "$port" != 161 ]; then
    keys alt+g
    xdotool type --delay 30 "127.0.0.1:$port"
    keys Home
fi
# A walk of the system group, the cursor left in the Oids box.
keys ctrl+w alt+i
xdotool type --delay 30 ".1.3.6.1.2.1.1"
keys F9
sleep 2
shoot Norvane mainwindow.png

# The second row selected, then the menu band on the keyboard: F10, over to
# Action, Down opens it on Run, Down again to the disabled Stop.
keys Tab Down Down F10 Right Right Down Down
shoot Norvane keyboard.png
keys Escape Escape

keys Home Return
shoot "Object Details" details.png
focus "Object Details"
keys alt+c # Esc stays in its text fields

keys alt+v o
shoot Options options.png
focus Options
keys Escape

keys alt+h a
shoot "About Norvane" about.png
focus "About Norvane"
keys Escape

# Agent Properties of the demo agent set to SNMPv3: a user, SHA-256 and
# AES-256, passphrases typed (they echo as dots); cancelled, so nothing kept.
focus Norvane
# The Action menu from the keyboard (alt+a is the Agent box; "p" is Stop's too)
# (Run, Stop, Clear, Compare With Previous Walk, then Agent Properties)
keys F10 Right Right Down Down Down Down Down Return
focus "Agent Properties"
keys alt+v 3 alt+u
xdotool type --delay 30 netops
keys alt+a Down Down Tab
xdotool type --delay 30 "demo-auth-passphrase"
keys Tab Down Down Tab
xdotool type --delay 30 "demo-priv-passphrase"
shoot "Agent Properties" agentproperties.png
keys Escape

# Set Value on the walk's sysLocation.0 row (the sixth), a new value typed;
# the demo agent has no write community yet, so the dialog asks for one.
# Cancelled: nothing is sent.
focus Norvane
keys alt+i Tab Home Down Down Down Down Down ctrl+e
focus "Set Value"
keys ctrl+a
xdotool type --delay 30 "Rack 12, row B"
shoot "Set Value" set.png
keys Escape

# View, MIB Values, and a walk of the interfaces table scrolled down to its
# types, hardware addresses and states; then Object Details of the last row
# in sight with its definition opened.
focus Norvane
keys alt+v m ctrl+r alt+i ctrl+a
xdotool type --delay 30 ".1.3.6.1.2.1.2.2"
keys F9
sleep 2
keys Tab
xdotool key --delay 40 --repeat 30 Down
shoot Norvane mibvalues.png
keys Return
focus "Object Details"
keys alt+d
shoot "Object Details" details-mib.png
keys alt+c
# The Watch: the demo agent's loopback octets in and out, its state and its
# uptime added one by one, polled every 5 s (snmpd refreshes its interface
# counters every few seconds) while a sender of our own varies the traffic
# over lo; the octets in, graphed in bits per second.
focus Norvane
keys ctrl+r ctrl+g alt+i ctrl+a
xdotool type --delay 30 ".1.3.6.1.2.1.2.2.1.10.1;.1.3.6.1.2.1.2.2.1.16.1;.1.3.6.1.2.1.2.2.1.8.1;.1.3.6.1.2.1.1.3.0"
keys F9
sleep 1
keys Tab Home ctrl+shift+w
focus Watch
keys alt+b
for _ in 1 2 3; do
    focus Norvane
    keys Down ctrl+shift+w
done
python3 - <<'SEND' &
import math, socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
data = b"x" * 1400
start = time.time()
while time.time() - start < 215:
    rate = 2000000 + 1500000 * math.sin((time.time() - start) / 12)  # octets a second
    for _ in range(int(rate / 1400 / 20)):
        s.sendto(data, ("127.0.0.1", 9))
    time.sleep(0.05)
SEND
PIDS+=($!)
sleep 215
keys Home
watch=$(window Watch)
xdotool windowsize --sync "$watch" 900 560
sleep 1.5
shoot Watch watch.png
keys Escape
focus Norvane
keys ctrl+w

# The Cisco switch's ifTable walked into a cleared list, then its grid in
# the Table View.
focus Norvane
keys ctrl+r alt+g ctrl+a
xdotool type --delay 30 "127.0.0.1:$simport"
keys alt+o ctrl+a
xdotool type --delay 30 cisco
keys alt+i ctrl+a
xdotool type --delay 30 ".1.3.6.1.2.1.2.2"
keys F9
sleep 8
keys ctrl+shift+t
table=$(window "Table View")
xdotool windowsize --sync "$table" 1000 470
sleep 1
shoot "Table View" tableview.png
focus "Table View"
# Export for Prometheus of the table shown, over the Table View.
keys alt+p
shoot "Export for Prometheus" prometheus.png
focus "Export for Prometheus"
keys Escape
focus "Table View"
keys Escape
focus Norvane

# The find bar under the list, an interface found.
keys ctrl+f
xdotool type --delay 30 "FastEthernet3/0/24"
keys Return
shoot Norvane findbar.png
keys Escape

# The demo agent walked, saved as an snmpsim recording, walked again and
# compared with the recording: its SNMP counters moved on with the walks.
keys ctrl+r alt+g ctrl+a
xdotool type --delay 30 "127.0.0.1:$port"
keys alt+o ctrl+a
xdotool type --delay 30 tarnel
keys alt+i ctrl+a
xdotool type --delay 30 ".1.3.6.1.2.1"
keys F9
sleep 3
keys ctrl+s
sleep 1
xdotool type --delay 30 "$WORK/snmpd-before.snmprec"
keys Return
focus Norvane
sleep 2
keys ctrl+r F9
sleep 3
keys alt+f m
sleep 1
xdotool type --delay 30 "$WORK/snmpd-before.snmprec"
keys Return
compare=$(window "Compare: .*")
xdotool windowsize --sync "$compare" 1040 420
sleep 1
shoot "Compare: .*" compare.png

# View, Traps: listening on a free port, a few notifications sent by
# Net-SNMP's own tools (MIB Values still on), linkDown selected.
focus Norvane
keys alt+v r
focus Traps
trapport=$(python3 -c 'import socket;s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("127.0.0.1",0));print(s.getsockname()[1])')
keys alt+o ctrl+a
xdotool type --delay 30 "$trapport"
keys alt+l
sleep 1
sendtrap() { SNMPCONFPATH=$WORK MIBS= SNMP_PERSISTENT_DIR=$WORK/traps "$@" >/dev/null 2>&1; }
ifcolumn=.1.3.6.1.2.1.2.2.1
sendtrap snmptrap -v2c -c public "127.0.0.1:$trapport" '' .1.3.6.1.6.3.1.1.5.3 $ifcolumn.1.7 i 7 $ifcolumn.7.7 i 1 $ifcolumn.8.7 i 2
sendtrap snmptrap -v1 -c public "127.0.0.1:$trapport" .1.3.6.1.4.1.8072.3.2.10 10.0.0.7 0 0 ''
sendtrap snmpinform -v2c -c public "127.0.0.1:$trapport" '' .1.3.6.1.6.3.1.1.5.4 $ifcolumn.1.7 i 7 $ifcolumn.7.7 i 1 $ifcolumn.8.7 i 1
sendtrap snmptrap -v2c -c private "127.0.0.1:$trapport" '' .1.3.6.1.6.3.1.1.5.1
sleep 1
traps=$(window Traps)
xdotool windowsize --sync "$traps" 900 520
xdotool mousemove --window "$traps" 250 133 click 1
shoot Traps traps.png
keys Escape
focus Norvane

# View, MIB Tree (the fifth item), a search typed into its search box; the
# last picture, as without a window manager the tree stays over the window.
keys alt+v Down Down Down Down Return
focus "MIB Tree"
xdotool type --delay 30 "ifOperStatus"
shoot "MIB Tree" mibtree.png
focus Norvane
keys alt+f x
