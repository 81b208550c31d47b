#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real program in a headless sway session with waybar as the
# panel, as a sway user has it: Xwayland on, no variable set. waybar's tray
# is the StatusNotifierWatcher; the test clicks the item as waybar does (its
# Activate call with the click's coordinates) and finds the popover anchored
# under the panel at the item's corner, without a grab warning, and closing
# on a second click and on `brivane --toggle`; grim's picture of it is light.
# With "dark" as the second argument, the desktop portal (tests/fake_portal.py)
# prefers dark: the popover's picture is dark, and light again, while open,
# once the portal says the user switched. With "native", sway runs without
# Xwayland and brivane on Qt's Wayland platform: the test finds where sway
# puts the popover (its tree), that it has the keyboard and closes when
# another window takes it, and that a for_window rule of the user's places
# it under the panel.
set -uo pipefail
brivane=$1
mode=${2:-light}
tools=(sway waybar swaymsg dbus-run-session gdbus setpriv setsid grim python3)
[ "$mode" = native ] || tools+=(Xwayland xwininfo)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# The portal needs the system's Python, where python3-gi installs GLib's
# bindings (a python3 of the caller's own may come first on PATH).
portal_python=
for candidate in /usr/bin/python3 "$(command -v python3)"; do
    if "$candidate" -c 'from gi.repository import Gio' 2>/dev/null; then portal_python=$candidate; break; fi
done
if [ "$mode" = dark ] && [ -z "$portal_python" ]; then
    echo "skipped: python3-gi is not installed"; exit 77
fi

scratch=$(mktemp -d)
chmod 755 "$scratch"
# The session and the program each run in a process group of their own,
# with no descriptor of this script's caller (a build lock, say): when the
# test ends, each group goes as a whole, the services its bus started too.
groups=()
start_detached() {
    (
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            [ "$fd" -gt 2 ] && eval "exec $fd>&-"
        done
        exec setsid "$@"
    ) &
    groups+=($!)
}
cleanup() {
    for group in "${groups[@]}"; do kill -TERM -- "-$group" 2>/dev/null; done
    sleep 0.5
    for group in "${groups[@]}"; do kill -KILL -- "-$group" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

source "$(dirname "$0")/e2e_support.sh"

# sway refuses to run as root: then the whole session runs as nobody.
as_user=()
if [ "$(id -u)" = 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
if ! "${as_user[@]}" test -x "$brivane"; then
    echo "FAIL!  : $brivane cannot be run by the session's user"
    echo "0 passed, 1 failed"
    exit 1
fi

mkdir -p "$scratch"/{home,config/brivane,config/sway,config/waybar,data,cache,runtime}
chmod 700 "$scratch/runtime"
printf '[General]\nonboardingComplete=true\n' >"$scratch/config/brivane/brivane.conf"
# A 30 px bar along the top with the tray at its right end.
cat >"$scratch/config/waybar/config" <<'EOF'
{ "layer": "top", "position": "top", "height": 30, "modules-right": ["tray", "clock"], "tray": { "spacing": 4 } }
EOF
cat >"$scratch/config/sway/config" <<EOF
output HEADLESS-1 resolution 1280x800
xwayland $([ "$mode" = native ] && echo disable || echo enable)
bar {
    swaybar_command waybar
}
exec sh -c 'env > $scratch/session-env'
EOF
[ "$(id -u)" = 0 ] && chown -R 65534:65534 "$scratch"

session_env=(env -i PATH="$PATH" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config"
    XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime"
    TZ=Europe/Berlin LANG=C.UTF-8)
start_detached "${as_user[@]}" "${session_env[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman dbus-run-session -- sway -c "$scratch/config/sway/config" >"$scratch/sway.log" 2>&1
# The environment is written once sway's own variables are all set.
session_ready() {
    grep -qs '^SWAYSOCK=' "$scratch/session-env" && grep -qs '^WAYLAND_DISPLAY=' "$scratch/session-env" \
        && { [ "$mode" = native ] || grep -qs '^DISPLAY=' "$scratch/session-env"; }
}
if ! eventually 200 session_ready; then
    echo "FAIL!  : sway did not start"; tail -20 "$scratch/sway.log"
    echo "0 passed, 1 failed"; exit 1
fi
in_session=("${as_user[@]}" "${session_env[@]}")
for name in WAYLAND_DISPLAY DISPLAY SWAYSOCK DBUS_SESSION_BUS_ADDRESS; do
    line=$(grep "^$name=" "$scratch/session-env") && in_session+=("$line")
done

# The desktop's portal, where the test plays one: it prefers dark.
if [ "$mode" = dark ]; then
    start_detached "${in_session[@]}" "$portal_python" "$(dirname "$0")/fake_portal.py" 1 >"$scratch/portal.log" 2>&1
    portal_pid=${groups[-1]}
    if ! check "the portal answers on the session bus" eventually 100 grep -qs '^ready' "$scratch/portal.log"; then
        cat "$scratch/portal.log"; echo "$passed passed, $failed failed"; exit 1
    fi
fi

# As a user starts it from sway: no QT_QPA_PLATFORM, no other hint.
start_detached "${in_session[@]}" QT_QUICK_BACKEND=software "$brivane" >"$scratch/brivane.log" 2>&1
brivane_pid=${groups[-1]}

watcher_items() {
    "${in_session[@]}" gdbus call --session --dest org.kde.StatusNotifierWatcher \
        --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null
}
registered() { watcher_items | grep -q "StatusNotifierItem"; }
if ! check "the item registers with waybar's tray" eventually 300 registered; then
    cat "$scratch/brivane.log"
fi
# "service/path" or "service" (then the path is the usual one).
item=$(watcher_items | grep -o "'[^']*'" | head -1 | tr -d "'")
item_service=${item%%/*}
item_path=/StatusNotifierItem
[[ $item == */* ]] && item_path=/${item#*/}
activate() {
    "${in_session[@]}" gdbus call --session --dest "$item_service" --object-path "$item_path" \
        --method org.kde.StatusNotifierItem.Activate "$1" "$2" >/dev/null
}

# Our X windows on Xwayland's screen: "X Y WIDTH HEIGHT" of each shown one.
shown_windows() {
    for id in $("${in_session[@]}" xwininfo -root -children 2>/dev/null | awk '/"brivane"/ { print $1 }'); do
        "${in_session[@]}" xwininfo -id "$id" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
            /Width:/ { w = $2 } /Height:/ { h = $2 } /Map State: IsViewable/ { print x, y, w, h }'
    done
}
# Without Xwayland, our Wayland windows in sway's tree: "X Y WIDTH HEIGHT
# FOCUSED FLOATING" of the popover (titled "brivane"), its content's place.
sway_popover() {
    "${in_session[@]}" swaymsg -t get_tree 2>/dev/null | python3 -c '
import json, sys
def walk(node, floating):
    yield node, floating
    for child in node.get("nodes", []): yield from walk(child, False)
    for child in node.get("floating_nodes", []): yield from walk(child, True)
for node, floating in walk(json.load(sys.stdin), False):
    if node.get("app_id") == "io.github.brivane.brivane" and node.get("name") == "brivane" and node.get("visible"):
        r, w = node["rect"], node["window_rect"]
        print(r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"], node["focused"], floating)
        break'
}
if [ "$mode" = native ]; then
    shown_windows() { sway_popover; }
fi
popover_geometry() { shown_windows | awk '$3 == 320 && $4 == 620 { print $1, $2; exit }'; }
popover_shown() { [ -n "$(popover_geometry)" ]; }
popover_hidden() { ! popover_shown; }

# waybar reports the click in the output's coordinates: the tray sits in the
# bar's right end, 30 px high.
click_x=1200
click_y=15
"${in_session[@]}" grim -t ppm - >"$scratch/desktop.ppm" 2>/dev/null
activate "$click_x" "$click_y"
check "Activate opens the 320 x 620 popover" eventually 300 popover_shown
read -r popover_x popover_y < <(popover_geometry)
echo "popover at ${popover_x:-?},${popover_y:-?} for a click at $click_x,$click_y"
under_panel() { [ "${popover_y:--1}" -ge 30 ] && [ "$popover_y" -le 40 ]; }
at_the_items_corner() {
    [ "${popover_x:--1}" -le "$click_x" ] && [ "$((popover_x + 320))" -ge "$click_x" ] \
        && [ "$((popover_x + 320))" -le 1280 ]
}
if [ "$mode" = native ]; then
    # The compositor places an ordinary window: sway floats it (its size is
    # fixed) wherever it likes, and gives it the keyboard.
    on_screen() {
        [ "${popover_x:--1}" -ge 0 ] && [ "$((popover_x + 320))" -le 1280 ] \
            && [ "${popover_y:--1}" -ge 0 ] && [ "$((popover_y + 620))" -le 800 ]
    }
    floating_with_keyboard() { sway_popover | awk '$5 == "True" && $6 == "True" { found = 1 } END { exit !found }'; }
    check "sway floats it whole on the screen" on_screen
    check "it has the keyboard" eventually 50 floating_with_keyboard
else
    check "it hangs just under the panel, not over it" under_panel
    check "it spans the item's place and stays on the screen" at_the_items_corner
fi

# What the screen shows inside the popover's rectangle, from grim's
# picture: the mean lightness (0 black, 1 white) and the most common colour.
cat >"$scratch/region.py" <<'PY'
import collections, sys
x, y, w, h = map(int, sys.argv[1:5])
data = sys.stdin.buffer.read()
fields, start = [], 0
while len(fields) < 4:  # P6, width, height, maximum, then one whitespace
    while data[start:start + 1].isspace(): start += 1
    end = start
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[start:end]); start = end
pixels = data[start + 1:]
width, height, top = int(fields[1]), int(fields[2]), int(fields[3])
if fields[0] != b"P6" or len(pixels) < width * height * 3 or x + w > width or y + h > height: sys.exit(1)
total, colours = 0, collections.Counter()
for row in range(y, y + h):
    line = pixels[(row * width + x) * 3:(row * width + x + w) * 3]
    for i in range(0, w * 3, 3):
        colour = line[i:i + 3]
        colours[colour] += 1
        total += (max(colour) + min(colour)) / 2
print("%.3f #%s" % (total / (w * h * top), colours.most_common(1)[0][0].hex()))
PY
screen_region() {
    "${in_session[@]}" grim -t ppm - 2>/dev/null | python3 "$scratch/region.py" "$popover_x" "$popover_y" 320 620
}
read -r _ desktop_colour < <(python3 "$scratch/region.py" "${popover_x:-0}" "${popover_y:-0}" 320 620 <"$scratch/desktop.ppm")
echo "before the popover its place showed ${desktop_colour:-?} most"
# Dark or light, and not what was there before the popover: a frame not yet
# drawn, or the desktop behind it, does not count.
seen() {
    read -r lightness colour < <(screen_region) || return 1
    [ "$colour" != "$desktop_colour" ] && awk -v l="$lightness" "BEGIN { exit !($1) }"
}
is_dark() { seen 'l > 0.05 && l < 0.3'; }
is_light() { seen 'l > 0.6'; }
if [ "$mode" = dark ]; then
    check "in the portal's dark scheme the popover is dark" eventually 100 is_dark
    echo "inside the popover: lightness ${lightness:-?}, mostly ${colour:-?}"
    # The user switches to light while the popover is open.
    kill -USR1 "$portal_pid"
    check "switched to light, the open popover redraws light" eventually 100 is_light
    echo "inside the popover: lightness ${lightness:-?}, mostly ${colour:-?}"
else
    check "without a dark preference the popover is light" eventually 100 is_light
    echo "inside the popover: lightness ${lightness:-?}, mostly ${colour:-?}"
fi
sleep 0.3
activate "$click_x" "$click_y"
check "a second click on the item closes it" eventually 50 popover_hidden
# The key a user binds: the running instance toggles its popover.
"${in_session[@]}" "$brivane" --toggle
check "brivane --toggle opens it again" eventually 300 popover_shown
# The pointer is nowhere near the panel: the popover opens where the item
# was clicked, under the panel (sway places native windows itself).
if [ "$mode" != native ]; then
    check "… under the panel, where the item was last clicked" test "$(popover_geometry)" = "960 35"
fi
"${in_session[@]}" "$brivane" --toggle
check "and closes it" eventually 50 popover_hidden

# A keyboard that stays, as a physical one does (tests/wayland_keys): its
# keymap reaches the session once, before the popover opens; then Escape
# closes the popover. The keys counted show whether the first one arrived.
keys=${3:-}
if [ "$mode" != native ] && [ -n "$keys" ] && "${as_user[@]}" test -x "$keys"; then
    mkfifo -m 600 "$scratch/keys.fifo"
    [ "$(id -u)" = 0 ] && chown 65534:65534 "$scratch/keys.fifo"
    start_detached "${in_session[@]}" sh -c 'exec "$0" <"$1"' "$keys" "$scratch/keys.fifo" >"$scratch/keys.log" 2>&1
    exec {typing}>"$scratch/keys.fifo"
    check "a keyboard joins the session" eventually 100 grep -q '^ready' "$scratch/keys.log"
    pressed=0
    press_escape() {
        pressed=$((pressed + 1))
        echo Escape >&"$typing"
        eventually 10 popover_hidden
    }
    for round in 1 2 3; do
        "${in_session[@]}" "$brivane" --toggle
        check "opened for the keyboard ($round)" eventually 300 popover_shown
        pressed=0
        check "Escape closes it ($round)" eventually 5 press_escape
        echo "Escape pressed $pressed time(s) before it closed"
    done
    exec {typing}>&-
else
    echo "the keyboard is not tried here: no tests/wayland_keys, or not in an XWayland session"
fi

if [ "$mode" = native ]; then
    "${in_session[@]}" "$brivane" --toggle
    check "opened again" eventually 300 popover_shown
    # Another window of the program takes the keyboard.
    "${in_session[@]}" "$brivane" --settings
    check "another window taking the keyboard closes it" eventually 100 popover_hidden
    # What a sway user adds to the config: the popover under the bar's
    # right end, 4 px below it and 5 px in from the screen's edge.
    "${in_session[@]}" swaymsg 'for_window [app_id="io.github.brivane.brivane" title="^brivane$"] move absolute position 955 34' >/dev/null
    "${in_session[@]}" "$brivane" --toggle
    check "with a for_window rule it opens" eventually 300 popover_shown
    read -r popover_x popover_y < <(popover_geometry)
    echo "popover at ${popover_x:-?},${popover_y:-?} by the rule"
    by_the_rule() { [ "${popover_x:-}" = 955 ] && [ "${popover_y:-}" = 34 ]; }
    check "where the rule puts it, under the panel at the item's corner" by_the_rule
    check "still with the keyboard" eventually 50 floating_with_keyboard
    if command -v wtype >/dev/null; then
        # Keys reach a Wayland client straight from the compositor.
        "${in_session[@]}" wtype -k Escape
        check "Escape closes it" eventually 50 popover_hidden
    else
        "${in_session[@]}" "$brivane" --toggle
        check "and closes again" eventually 50 popover_hidden
    fi
fi

no_grab_warning() { ! grep -q "grabbing the mouse only for popup windows" "$scratch/brivane.log"; }
check "no grab warning in its output" no_grab_warning
check "it is still running" kill -0 "$brivane_pid"
if [ "$failed" != 0 ]; then
    echo "--- brivane output:"; tail -60 "$scratch/brivane.log"
    echo "--- our windows:"; shown_windows
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
