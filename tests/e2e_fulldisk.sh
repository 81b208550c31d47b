#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program on a real full file system: a small tmpfs, mounted in a
# mount namespace of the test's own (as root, or as an unprivileged user
# where the kernel allows user namespaces), holds the calendars and the
# cache. `brivane add` must fail with the reason in words and leave no file,
# an agenda must still work and leave no half-written index.
set -uo pipefail
brivane=$1

if [ "${BRIVANE_FULLDISK_INSIDE:-}" != 1 ]; then
    command -v unshare >/dev/null || { echo "skipped: unshare is not installed"; exit 77; }
    if [ "$(id -u)" -eq 0 ]; then
        namespace=(unshare --mount --propagation private)
    else
        namespace=(unshare --mount --map-root-user --propagation private)
    fi
    if ! "${namespace[@]}" true 2>/dev/null; then
        echo "skipped: cannot make a mount namespace here (needs root or user namespaces) for a full file system"
        exit 77
    fi
    BRIVANE_FULLDISK_INSIDE=1 exec "${namespace[@]}" bash "$0" "$@"
fi

source "$(dirname "$0")/e2e_support.sh"
scratch=$(mktemp -d)
disk=$scratch/disk
mkdir -p "$disk"
if ! mount -t tmpfs -o size=256k,mode=0700 tmpfs "$disk" 2>/dev/null; then
    rm -rf "$scratch"
    echo "skipped: cannot mount a small tmpfs here"
    exit 77
fi
trap 'umount "$disk" 2>/dev/null; rm -rf "$scratch"' EXIT

# No session bus, no display: nothing reaches the user's desktop.
unset DISPLAY WAYLAND_DISPLAY
export DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/no-session-bus
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/runtime \
       XDG_DATA_HOME=$disk/data XDG_CACHE_HOME=$disk/cache TZ=Europe/Berlin BRIVANE_NO_INSTANCE=1
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
calendar=$XDG_DATA_HOME/brivane/calendars/local/personal

"$brivane" add "Before the disk filled" --start 2026-12-10T09:00 >"$scratch/first" 2>&1
check "an event is written while there is room" test -s "$calendar/$(basename "$(cut -d'#' -f1 "$scratch/first")")"
# Fill what is left, to the last block.
dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null
dd if=/dev/zero of="$disk/filler-tail" bs=512 2>/dev/null
before=$(ls -A "$calendar")

"$brivane" add "Dentist" --start 2026-12-10T14:30 >"$scratch/out" 2>"$scratch/err"
status=$?
check "add on a full disk fails with 1" test "$status" -eq 1
check "it prints no id" test ! -s "$scratch/out"
check "it says why in words" grep -q "No space left on device" "$scratch/err"
check "never an unknown error" sh -c "! grep -qi 'unknown error' '$scratch/err'"
check "no file, no temporary file is left" test "$(ls -A "$calendar")" = "$before"

title=$(head -c 9000 /dev/zero | tr '\0' 'x')
"$brivane" add "$title" --start 2026-12-10T16:00 >/dev/null 2>"$scratch/err-long"
status=$?
check "a long title fails alike" test "$status" -eq 1
check "for the same reason" grep -q "No space left on device" "$scratch/err-long"
check "and leaves nothing either" test "$(ls -A "$calendar")" = "$before"

# Reading goes on; the index, which no longer fits, is left as it was.
rm -rf "$XDG_CACHE_HOME"
"$brivane" agenda --at 2026-12-10T08:00 >"$scratch/agenda" 2>"$scratch/agenda-err"
check "the agenda still works" grep -q "Before the disk filled" "$scratch/agenda"
check "no empty index" sh -c "! find '$disk' -name 'calendar-index' -empty | grep -q ."
check "no temporary index file" sh -c "! find '$disk' -name '.calendar-index*' | grep -q ."

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || { echo "--- stderr:"; cat "$scratch/err" "$scratch/err-long" "$scratch/agenda-err"; exit 1; }
