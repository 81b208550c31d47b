#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command inside a private D-Bus session with an unlocked GNOME Keyring
# as the Secret Service, in a throw-away home folder.
set -uo pipefail
for tool in dbus-run-session dbus-send gnome-keyring-daemon; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
home=$(mktemp -d)
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache
export XDG_RUNTIME_DIR=$home/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY # a password prompt must never appear and hang the run

# The session's own daemons outlive dbus-run-session here; their output goes
# to a file, not to whoever reads ours, and they are stopped afterwards.
dbus-run-session -- bash -c '
    export BRIVANE_PRIVATE_BUS=$DBUS_SESSION_BUS_ADDRESS # the tests may use this session, and no other
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.DBus \
        | awk "/uint32/ { print \$2 }" > "$HOME/bus.pid"
    eval "$(printf secret | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)"
    export GNOME_KEYRING_CONTROL
    echo "$GNOME_KEYRING_PID" > "$HOME/keyring.pid"
    "$@"' bash "$@" >"$home/output" 2>&1 </dev/null
status=$?
cat "$home/output"
for pidfile in "$home/keyring.pid" "$home/bus.pid"; do
    [ -s "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
done
rm -rf "$home"
exit $status
