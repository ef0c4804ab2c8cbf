#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a test in a D-Bus session of its own with gnome-keyring's Secret
# Service, its keyrings in DATA_DIR (never the user's):
#   with-keyring.sh [--locked|--silent] DATA_DIR PROGRAM [ARGUMENTS...]
# Unlocked by a test password by default. --locked: the keyring exists but
# is locked, and the unlock prompt never answers (a prompter that never
# appears, until the test has ended), holding the entry NORVANE_TEST_KEYRING_ENTRY
# names as Norvane writes it. --silent: the Secret Service is there
# but stopped, so that no call to it is ever answered. The test learns which
# from NORVANE_TEST_KEYRING (unlocked, locked, silent).
set -eu
mode=unlocked
case "$1" in --locked|--silent) mode=${1#--}; shift ;; esac
mkdir -p "$1"
export XDG_DATA_HOME="$1"
export NORVANE_TEST_KEYRING=$mode
shift
password=norvane-test-keyring
# Until the daemon just started owns the Secret Service's name: a call
# before would have D-Bus start a second daemon, which may read the keyring
# file while the first writes it.
export WAIT_FOR_SERVICE='i=0; until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true" \
    || [ $i -ge 50 ]; do sleep 0.1; i=$((i + 1)); done'

if [ "$mode" != locked ]; then
    exec dbus-run-session -- sh -c '
        eval "$(printf %s "$0" | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)"
        export GNOME_KEYRING_CONTROL
        eval "$WAIT_FOR_SERVICE"
        if [ "$NORVANE_TEST_KEYRING" = silent ]; then
            # Whoever owns the name on this bus, and no other process.
            pid=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                  org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets | sed -n "s/.*uint32 //p")
            kill -STOP "$pid"
            trap "kill -CONT $pid; kill $pid" EXIT
            "$@"
            exit $?
        fi
        exec "$@"' "$password" "$@"
fi

# A login keyring made with the password, then a session that does not unlock
# it, whose system prompter is a process that never takes its bus name.
work=$(mktemp -d)
trap 'kill "$(cat "$work/prompter.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$work"' EXIT
dbus-run-session -- sh -c 'printf %s "$0" | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
    eval "$WAIT_FOR_SERVICE"
    printf x | secret-tool store --label=made user "$1" server Norvane type plaintext >/dev/null 2>&1' \
    "$password" "${NORVANE_TEST_KEYRING_ENTRY:-made}"
mkdir "$work/services"
cat >"$work/prompter" <<EOF
#!/bin/sh
echo \$\$ >"$work/prompter.pid"
exec sleep 120 </dev/null >/dev/null 2>&1
EOF
chmod +x "$work/prompter"
printf '[D-BUS Service]\nName=org.gnome.keyring.SystemPrompter\nExec=%s\n' "$work/prompter" \
    >"$work/services/org.gnome.keyring.SystemPrompter.service"
printf '[D-BUS Service]\nName=org.freedesktop.secrets\nExec=/usr/bin/gnome-keyring-daemon --start --foreground --components=secrets\n' \
    >"$work/services/org.freedesktop.secrets.service"
cat >"$work/bus.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$work/services</servicedir>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
  <limit name="service_start_timeout">120000</limit>
</busconfig>
EOF
dbus-run-session --config-file="$work/bus.conf" -- sh -c '
    eval "$(gnome-keyring-daemon --start --components=secrets 2>/dev/null)"
    export GNOME_KEYRING_CONTROL
    exec "$@"' sh "$@"
