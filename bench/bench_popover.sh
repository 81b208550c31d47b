#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the popover of the real program under Xvfb with trayer, with a
# full list (ten events today, ten upcoming): click to the popover's first
# frame, the same when it opens again, click to the first frame of the
# new-event sheet and of an event's detail, the slowest frame while the
# lists scroll, and resident memory after every view has been open (popover,
# both sheets, then the settings too). BENCH_RUNS sets the number of runs
# (default 3); BENCH_ENV adds environment settings for the program (say
# BENCH_ENV=QT_QUICK_BACKEND=rhi); BENCH_SMAPS=FILE keeps the last run's
# memory map there.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/build >/dev/null
brivane=$PWD/build/brivane
runs=${BENCH_RUNS:-3}

source tests/e2e_support.sh # eventually
popover_at() { xwininfo -root -tree | awk '/"brivane": \("brivane"/ && / 320x620/ { split($NF, p, "+"); print p[2], p[3] }' | head -1; }
popover_shown() {
    local id
    id=$(xwininfo -root -tree | awk '/"brivane": \("brivane"/ && / 320x620/ { print $1 }' | head -1)
    [ -n "$id" ] && xwininfo -id "$id" | grep -q IsViewable
}
rss_mb() { awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
timing() { grep "$2" "$1" | sed -n "${3}p" | grep -o '[0-9.]* ms' | head -1; }

# Ten events under way today (so the list is full at any hour) and ten in
# the coming days, in the default calendar.
write_events() {
    python3 - "$1" <<'PY'
import datetime, os, sys
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
now = datetime.datetime.now().replace(second=0, microsecond=0)
def write(uid, title, start, end):
    with open(os.path.join(folder, uid + ".ics"), "w") as f:
        f.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\n"
                f"UID:{uid}\r\nSUMMARY:{title}\r\nDTSTART:{start:%Y%m%dT%H%M%S}\r\n"
                f"DTEND:{end:%Y%m%dT%H%M%S}\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
end_of_day = now.replace(hour=23, minute=59)
for i in range(12):
    write(f"today{i}", f"Working session {i + 1}", now - datetime.timedelta(minutes=30 + i), end_of_day)
for i in range(12):
    day = now + datetime.timedelta(days=1 + i % 5)
    write(f"later{i}", f"Planning {i + 1}", day.replace(hour=9 + i % 8, minute=0), day.replace(hour=10 + i % 8, minute=0))
PY
}

run() {
    local scratch; scratch=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
    local xvfb=$!
    while [ ! -s "$scratch/display" ]; do sleep 0.05; done
    export DISPLAY=:$(head -1 "$scratch/display")
    trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
    local trayer=$!
    until xwininfo -root -tree | grep -q '"panel"'; do sleep 0.05; done
    sleep 2 # the tray host settles before Qt looks for it

    mkdir -p "$scratch"/{home,config/brivane,data,cache,runtime}
    chmod 700 "$scratch/runtime"
    printf '[General]\nonboardingComplete=true\n' >"$scratch/config/brivane/brivane.conf"
    write_events "$scratch/data/brivane/calendars/local/personal"
    env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
        XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" BRIVANE_TIMING=1 \
        QT_QUICK_BACKEND=software ${BENCH_ENV:-} "$brivane" >"$scratch/log" 2>&1 &
    local pid=$!
    until xwininfo -root -tree | grep '"brivane": ("brivane"' | grep -q ' 22x22'; do sleep 0.005; done
    sleep 1.5 # the icon is embedded and answers clicks
    local icon
    icon=$(xwininfo -root -tree | grep '"brivane": ("brivane"' | grep ' 22x22' | head -1 | awk '{ split($NF, p, "+"); print p[2] + 11, p[3] + 11 }')
    sleep 0.5

    # Where things are: the grid has five or six rows this month.
    local leading days rows
    leading=$(($(date -d "$(date +%Y-%m-01)" +%u) - 1))
    days=$(date -d "$(date +%Y-%m-01) +1 month -1 day" +%d)
    rows=$(((leading + 10#$days + 6) / 7))
    local header_y=$((69 + rows * 36 + 27))

    xdotool mousemove $icon click 1
    if ! eventually 50 popover_shown; then
        echo "run failed: the popover did not open"
        kill $pid $trayer $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"; return
    fi
    sleep 0.5
    local x y
    read -r x y < <(popover_at)
    xdotool key Escape; sleep 0.5
    xdotool mousemove $icon click 1; sleep 1
    xdotool mousemove $((x + 292)) $((y + header_y)) click 1; sleep 1 # "+": the form
    xdotool key Escape; sleep 1
    xdotool mousemove $((x + 150)) $((y + header_y + 39)) click 1; sleep 1 # the first row: its detail
    xdotool key Escape; sleep 1
    xdotool key Escape; sleep 0.5
    # Open again and scroll both lists down and up: the frames of this opening.
    xdotool mousemove $icon click 1; sleep 1
    for list_y in $((header_y + 60)) $((header_y + 200)); do
        xdotool mousemove $((x + 150)) $((y + list_y))
        xdotool click --repeat 12 --delay 40 5
        xdotool click --repeat 12 --delay 40 4
    done
    sleep 0.5
    xdotool key Escape; sleep 0.5
    local rss_popover; rss_popover=$(rss_mb $pid)
    env XDG_RUNTIME_DIR="$scratch/runtime" HOME="$scratch/home" "$brivane" --settings; sleep 1.5
    local rss; rss=$(rss_mb $pid)
    [ -n "${BENCH_SMAPS:-}" ] && cp /proc/$pid/smaps "$BENCH_SMAPS"

    printf 'popover first frame %s, again %s | new-event sheet %s, detail sheet %s | scrolling: %s | RSS %s MB after the popover and its sheets, %s MB with the settings too\n' \
        "$(timing "$scratch/log" 'popover first frame' 1)" "$(timing "$scratch/log" 'popover first frame' 2)" \
        "$(timing "$scratch/log" 'sheet first frame' 1)" "$(timing "$scratch/log" 'sheet first frame' 2)" \
        "$(grep 'frames while open' "$scratch/log" | tail -1 | sed 's/timing: //')" "$rss_popover" "$rss"
    kill $pid $trayer $xvfb 2>/dev/null
    wait 2>/dev/null
    rm -rf "$scratch"
}

for _ in $(seq "$runs"); do run; done
