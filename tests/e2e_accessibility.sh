#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a screen reader sees: the real program under Xvfb with trayer, in a
# private D-Bus session (starting no services of the machine, so no keyring)
# with its own accessibility bus. Once the popover is open, brivane's window
# and the popover's controls must be in the AT-SPI tree with their names;
# then the settings window's, and the first-run window's at a first start.
set -uo pipefail
brivane=$1
for tool in dbus-run-session Xvfb trayer xdotool xwininfo gdbus python3 /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

if [ -z "${BRIVANE_SCRATCH:-}" ]; then
    scratch=$(mktemp -d)
    mkdir -p "$scratch"/{home,config/brivane,data,cache,runtime}
    chmod 700 "$scratch/runtime"
    cat >"$scratch/session.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    export BRIVANE_SCRATCH=$scratch HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
           XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
    dbus-run-session --config-file="$scratch/session.conf" -- bash "$0" "$@" 2>/dev/null
    status=$?
    rm -rf "$scratch"
    exit $status
fi

scratch=$BRIVANE_SCRATCH
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}
trap cleanup EXIT
source "$(dirname "$0")/e2e_support.sh"
tree="python3 $(dirname "$0")/atspi_tree.py brivane"

/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
pids+=($!)
eventually 50 test -s "$scratch/display" || { echo "FAIL!  : Xvfb did not start"; echo "0 passed, 1 failed"; exit 1; }
export DISPLAY=:$(head -1 "$scratch/display")
trayer --edge top --align right --widthtype request --height 24 --SetDockType true >/dev/null 2>&1 &
pids+=($!)
eventually 50 sh -c 'xwininfo -root -tree | grep -q "\"panel\""'

printf '[General]\nonboardingComplete=true\n' >"$scratch/config/brivane/brivane.conf"
export QT_QUICK_BACKEND=software QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORM
"$brivane" >"$scratch/brivane.log" 2>&1 &
pids+=($!)

icon_line() { xwininfo -root -tree | grep '"brivane": ("brivane"' | grep -E ' (1[6-9]|2[0-9]|3[0-2])x(1[6-9]|2[0-9]|3[0-2])\+'; }
eventually 100 sh -c "$(declare -f icon_line); icon_line >/dev/null"
read -r icon_x icon_y < <(icon_line | head -1 | awk '{ split($NF, p, "+"); split($(NF-1), s, "[x+]"); print p[2] + int(s[1] / 2), p[3] + int(s[2] / 2) }')
check "brivane is in the accessibility tree" eventually 50 sh -c "$tree >/dev/null 2>&1"

# The program reads the clock when the popover opens; the day before and
# after that moment are the ones it can show (they differ only at midnight).
day_before=$(date +'%A %-d %B %Y')
xdotool mousemove "$icon_x" "$icon_y" click 1
has_popover() { $tree 2>/dev/null >"$scratch/tree" && grep -q "New Event" "$scratch/tree"; }
check "the open popover is there with its controls" eventually 50 has_popover
shows() { grep -qx " *$1" "$scratch/tree"; }
day_after=$(date +'%A %-d %B %Y')
check "as a window" grep -qE "^  (frame|window|dialog): " "$scratch/tree"
for control in "push button: Previous Month" "push button: Next Month" "push button: New Event" \
    "push button: Open Calendar" "push button: Quit" "push button: Today"; do
    check "$control" shows "$control"
done
check "the month as a heading" grep -qx -e " *heading: ${day_before#* * }" -e " *heading: ${day_after#* * }" "$scratch/tree"
check "today's day in the grid" grep -q -e "$day_before, today" -e "$day_after, today" "$scratch/tree"

# The settings window, opened through the running instance (the popover
# closed first: every node of the tree costs a call).
xdotool mousemove "$icon_x" "$icon_y" click 1
"$brivane" --settings >/dev/null 2>&1
has_settings() { $tree 2>/dev/null >"$scratch/tree" && grep -qE "^ *page tab: Integrations$" "$scratch/tree"; }
check "the settings window is there with its tabs" eventually 30 has_settings
for tab in Calendars Appearance; do
    check "settings: the $tab tab" grep -qE "^ *page tab: $tab$" "$scratch/tree"
done
for control in "heading: Shown in the Panel" "heading: Local"; do
    check "settings: $control" shows "$control"
done
check "settings: the Personal calendar's switch" grep -qE "^ *(check box|toggle button|push button): Personal$" "$scratch/tree"
cp "$scratch/tree" "$scratch/settings-tree"

# The first-run window, at a start without the flag.
kill "${pids[-1]}" 2>/dev/null
wait "${pids[-1]}" 2>/dev/null
printf '[General]\nonboardingComplete=false\n' >"$scratch/config/brivane/brivane.conf"
"$brivane" >>"$scratch/brivane.log" 2>&1 &
pids+=($!)
has_onboarding() { $tree 2>/dev/null >"$scratch/tree" && grep -q "push button: Continue" "$scratch/tree"; }
check "the first-run window is there with its controls" eventually 30 has_onboarding
for control in "heading: Welcome to brivane" "push button: Continue"; do
    check "first run: $control" shows "$control"
done
check "first run: the page indicator" grep -q "Page 1 of 3" "$scratch/tree"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || { echo "--- the tree:"; cat "$scratch/settings-tree" "$scratch/tree" 2>/dev/null; echo "--- brivane's output:"; cat "$scratch/brivane.log"; exit 1; }
