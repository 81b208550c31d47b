#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real program in a headless sway session with waybar as the
# panel, as a sway user has it: Xwayland on, no variable set. waybar's tray
# is the StatusNotifierWatcher; the test clicks the item as waybar does (its
# Activate call with the click's coordinates) and finds the popover anchored
# under the panel at the item's corner, without a grab warning, and closing
# on a second click, on `brivane --toggle`, on Escape from a keyboard and
# when another window takes the keyboard; grim's picture of it is light.
# sway offers the layer shell: the popover is a layer surface, found in
# grim's pictures (what changed under the bar since before it opened).
# With "dark" as the second argument, the desktop portal (tests/fake_portal.py)
# prefers dark: the popover's picture is dark, and light again, while open,
# once the portal says the user switched. With "x11", brivane runs through
# Xwayland (QT_QPA_PLATFORM=xcb), as on a desktop without the layer shell
# (GNOME): the popover is an X11 window, found by xwininfo. With "native",
# sway runs without Xwayland at all.
set -uo pipefail
brivane=$1
mode=${2:-light}
# BRIVANE_E2E_SCALE=2 runs the screen at twice the pixels (the same 1280 x 800
# in logical ones, which every check counts in; grim's pictures are in real
# ones).
scale=${BRIVANE_E2E_SCALE:-1}
tools=(sway waybar swaymsg dbus-run-session gdbus setpriv setsid grim python3)
[ "$mode" = native ] || tools+=(Xwayland xwininfo)
# What the popover is: a layer surface, or an X11 window through Xwayland.
surface=layer
[ "$mode" = x11 ] && surface=x11
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
output HEADLESS-1 resolution $((1280 * scale))x$((800 * scale)) scale $scale
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

# As a user starts it from sway: no QT_QPA_PLATFORM, no other hint; or as
# on a desktop without the layer shell, through Xwayland.
platform=()
[ "$surface" = x11 ] && platform=(QT_QPA_PLATFORM=xcb)
start_detached "${in_session[@]}" "${platform[@]}" "$brivane" >"$scratch/brivane.log" 2>&1
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
# As waybar does, the item is looked up at each click: "service/path" or
# "service" (then the path is the usual one), the newest where a starting
# program's first item made way for another (its fallback, then its own).
activate_once() {
    local item item_service item_path
    item=$(watcher_items | grep -o "'[^']*'" | tail -1 | tr -d "'")
    item_service=${item%%/*}
    item_path=/StatusNotifierItem
    [[ $item == */* ]] && item_path=/${item#*/}
    "${in_session[@]}" gdbus call --session --dest "$item_service" --object-path "$item_path" \
        --method org.kde.StatusNotifierItem.Activate "$1" "$2" >/dev/null 2>"$scratch/activate.err"
}
activate() {
    if ! eventually 50 activate_once "$@"; then
        echo "Activate failed: $(cat "$scratch/activate.err"); the watcher lists $(watcher_items)"
        return 1
    fi
}

# Our X windows on Xwayland's screen: "X Y WIDTH HEIGHT" of each shown one.
shown_windows() {
    for id in $("${in_session[@]}" xwininfo -root -children 2>/dev/null | awk '/"brivane"/ { print $1 }'); do
        "${in_session[@]}" xwininfo -id "$id" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
            /Width:/ { w = $2 } /Height:/ { h = $2 } /Map State: IsViewable/ { print x, y, w, h }'
    done
}
# A layer surface is in no tree sway gives out: "X Y WIDTH HEIGHT" of what
# changed under the 30 px bar since $scratch/desktop.ppm, before the popover.
cat >"$scratch/changed.py" <<'PY'
import sys
def read(path):
    data = open(path, "rb").read()
    fields, start = [], 0
    while len(fields) < 4:
        while data[start:start + 1].isspace(): start += 1
        end = start
        while not data[end:end + 1].isspace(): end += 1
        fields.append(data[start:end]); start = end
    return int(fields[1]), int(fields[2]), data[start + 1:]
width, height, before = read(sys.argv[1])
_, _, now = read(sys.argv[2])
scale = int(sys.argv[3])
rows = [y for y in range(30 * scale, height) if before[y * width * 3:(y + 1) * width * 3] != now[y * width * 3:(y + 1) * width * 3]]
if rows:
    columns = [x for x in range(width) if any(before[(y * width + x) * 3:(y * width + x) * 3 + 3] != now[(y * width + x) * 3:(y * width + x) * 3 + 3] for y in (rows[0], rows[len(rows) // 2], rows[-1]))]
    if columns: print(columns[0] // scale, rows[0] // scale, (columns[-1] - columns[0] + 1) // scale, (rows[-1] - rows[0] + 1) // scale)
PY
layer_popover() {
    "${in_session[@]}" grim -t ppm - >"$scratch/now.ppm" 2>/dev/null && python3 "$scratch/changed.py" "$scratch/desktop.ppm" "$scratch/now.ppm" "$scale"
}
if [ "$surface" = layer ]; then
    shown_windows() { layer_popover; }
fi
popover_geometry() { shown_windows | awk '$3 == 320 && $4 == 620 { print $1, $2; exit }'; }
popover_shown() { [ -n "$(popover_geometry)" ]; }
popover_hidden() { ! popover_shown; }

# waybar reports the click in the output's coordinates: the tray sits in the
# bar's right end, 30 px high.
click_x=1200
click_y=15
"${in_session[@]}" grim -t ppm - >"$scratch/desktop.ppm" 2>/dev/null
# The picture the popover is told apart from: taken once nothing moves on
# the desktop but waybar's clock.
activate "$click_x" "$click_y"
if ! check "Activate opens the 320 x 620 popover" eventually 300 popover_shown; then
    # Nothing after this can pass: what is there to see, at once.
    echo "--- brivane output:"; tail -40 "$scratch/brivane.log"
    echo "--- the watcher lists: $(watcher_items)"
    echo "$passed passed, $failed failed"
    exit 1
fi
read -r popover_x popover_y < <(popover_geometry)
echo "popover at ${popover_x:-?},${popover_y:-?} for a click at $click_x,$click_y"
under_panel() { [ "${popover_y:--1}" -ge 30 ] && [ "$popover_y" -le 40 ]; }
at_the_items_corner() {
    [ "${popover_x:--1}" -le "$click_x" ] && [ "$((popover_x + 320))" -ge "$click_x" ] \
        && [ "$((popover_x + 320))" -le 1280 ]
}
check "it hangs just under the panel, not over it" under_panel
check "it spans the item's place and stays on the screen" at_the_items_corner

# What the screen shows inside the popover's rectangle, from grim's
# picture: the mean lightness (0 black, 1 white) and the most common colour.
cat >"$scratch/region.py" <<'PY'
import collections, sys
x, y, w, h = (int(value) * int(sys.argv[5]) for value in sys.argv[1:5])
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
    "${in_session[@]}" grim -t ppm - 2>/dev/null | python3 "$scratch/region.py" "$popover_x" "$popover_y" 320 620 "$scale"
}
read -r _ desktop_colour < <(python3 "$scratch/region.py" "${popover_x:-0}" "${popover_y:-0}" 320 620 "$scale" <"$scratch/desktop.ppm")
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
# The screen with the popover open, for a person to look at.
if [ -n "${BRIVANE_E2E_PICTURES:-}" ]; then
    "${in_session[@]}" grim - >"$scratch/open.png" 2>/dev/null && cp "$scratch/open.png" "$BRIVANE_E2E_PICTURES/wayland-$mode.png"
fi
sleep 0.3
activate "$click_x" "$click_y"
check "a second click on the item closes it" eventually 50 popover_hidden
# The key a user binds: the running instance toggles its popover.
"${in_session[@]}" "$brivane" --toggle
check "brivane --toggle opens it again" eventually 300 popover_shown
# The pointer is nowhere near the panel (or, on Wayland, unknown): the
# popover opens where the item was clicked, under the panel.
check "… under the panel, where the item was last clicked" test "$(popover_geometry)" = "960 35"
"${in_session[@]}" "$brivane" --toggle
check "and closes it" eventually 50 popover_hidden

# A keyboard that stays, as a physical one does (tests/wayland_keys): its
# keymap reaches the session once, before the popover opens; then Escape
# closes the popover. The keys counted show whether the first one arrived.
keys=${3:-}
if [ -n "$keys" ] && "${as_user[@]}" test -x "$keys"; then
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
    # Typing, not only closing: Return on the month opens the new-event form
    # for today, the title is typed letter by letter, and Return saves it.
    "${in_session[@]}" "$brivane" --toggle
    check "opened for typing" eventually 300 popover_shown
    # Typed straight after Return, as a quick typist does: the letters come
    # while the form still rises.
    for key in Return l u n c h space w i t h space a n n a Return; do echo "$key" >&"$typing"; done
    saved() { "${in_session[@]}" "$brivane" agenda 2>/dev/null | grep -q "lunch with anna"; }
    if ! check "the typed title is saved as an event" eventually 100 saved; then
        "${in_session[@]}" "$brivane" agenda
        [ -n "${BRIVANE_E2E_PICTURES:-}" ] && "${in_session[@]}" grim - >"$scratch/typed.png" 2>/dev/null \
            && cp "$scratch/typed.png" "$BRIVANE_E2E_PICTURES/wayland-$mode-typed.png"
    fi
    exec {typing}>&-
else
    echo "the keyboard is not tried here: no tests/wayland_keys"
fi

if [ "$surface" = layer ]; then
    "${in_session[@]}" "$brivane" --toggle
    check "opened again" eventually 300 popover_shown
    # Another window of the program takes the keyboard, as a click on any
    # window would: the popover goes, as a menu does.
    "${in_session[@]}" "$brivane" --settings
    check "another window taking the keyboard closes it" eventually 100 popover_hidden
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
