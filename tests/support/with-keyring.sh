#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a test in a D-Bus session of its own with gnome-keyring's Secret
# Service unlocked by a test password, its keyrings in DATA_DIR (never the
# user's): with-keyring.sh DATA_DIR PROGRAM [ARGUMENTS...]
set -eu
mkdir -p "$1"
export XDG_DATA_HOME="$1"
shift
exec dbus-run-session -- sh -c '
    eval "$(printf %s norvane-test-keyring | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)"
    export GNOME_KEYRING_CONTROL
    exec "$@"' sh "$@"
