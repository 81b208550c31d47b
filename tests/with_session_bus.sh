#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private D-Bus session bus in a throw-away home folder:
# nothing it does reaches the user's own session or files.
set -uo pipefail
command -v dbus-run-session >/dev/null || { echo "skipped: dbus-run-session is not installed"; exit 77; }
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache
export XDG_RUNTIME_DIR=$home/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
# The tests refuse to run on any bus but the one named here: this one.
dbus-run-session -- bash -c 'export BRIVANE_PRIVATE_BUS=$DBUS_SESSION_BUS_ADDRESS; exec "$@"' bash "$@" </dev/null
