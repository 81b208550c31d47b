#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command against a private Evolution Data Server: a D-Bus session of
# its own whose only activatable services are EDS's source registry and
# factories, in a throw-away home with its own XDG folders. Nothing of the
# real user's session, files or settings is reachable from inside.
set -uo pipefail
for tool in dbus-run-session dbus-send; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
services=/usr/share/dbus-1/services
for name in Sources5 Calendar8; do
    [ -f "$services/org.gnome.evolution.dataserver.$name.service" ] \
        || { echo "skipped: Evolution Data Server is not installed"; exit 77; }
done

home=$(mktemp -d)
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache
export XDG_RUNTIME_DIR=$home/runtime
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$home/bus/services"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
# Settings (the default calendar) in a key file of the private home, shared
# by the daemons and the tests without a settings daemon.
export GSETTINGS_BACKEND=keyfile
# The tests may take the registry's service away to see how a session
# without one behaves; they use the bus started below, named to them in
# BRIVANE_PRIVATE_BUS (see BRIVANE_TEST_MAIN), and no other.
export BRIVANE_EDS_SERVICES=$home/bus/services

# Only EDS's own services, started by D-Bus activation; without the systemd
# line, the bus starts the programs itself.
for service in "$services"/org.gnome.evolution.dataserver.*.service; do
    grep -v '^SystemdService=' "$service" > "$home/bus/services/$(basename "$service")"
done
cat > "$home/bus/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:dir=$home/bus</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$home/bus/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

# Every program on the bus but the bus itself is stopped afterwards: the
# daemons would otherwise outlive the session.
dbus-run-session --config-file="$home/bus/session.conf" -- bash -c '
    export BRIVANE_PRIVATE_BUS=$DBUS_SESSION_BUS_ADDRESS
    "$@"
    status=$?
    bus_call() {
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "$@" 2>/dev/null
    }
    for name in $(bus_call org.freedesktop.DBus.ListNames | awk -F\" "/string \":/ { print \$2 }"); do
        pid=$(bus_call org.freedesktop.DBus.GetConnectionUnixProcessID "string:$name" | awk "/uint32/ { print \$2 }")
        [ -n "$pid" ] && [ "$pid" != "$$" ] && echo "$pid"
    done | sort -u > "$HOME/bus.pids"
    exit $status' bash "$@" >"$home/output" 2>&1 </dev/null
status=$?
cat "$home/output"
if [ -s "$home/bus.pids" ]; then
    # shellcheck disable=SC2046
    kill $(cat "$home/bus.pids") 2>/dev/null
fi
rm -rf "$home"
exit $status
