#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the tray application under Xvfb with trayer: start to tray icon,
# click to the popover's first frame (first and second opening), resident
# memory after start and after the popover opened, and CPU over an idle
# period; once with Qt Quick's software renderer and once with OpenGL.
# BENCH_IDLE_SECONDS sets the idle period (default 120).
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/build >/dev/null
brivane=$PWD/build/brivane
idle=${BENCH_IDLE_SECONDS:-120}
ticks=$(getconf CLK_TCK)

rss_mb() { awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

run() { # NAME, then environment assignments for the renderer
    local name=$1; shift
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
    local start; start=$(now_ms)
    env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
        XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" BRIVANE_TIMING=1 "$@" \
        "$brivane" >"$scratch/log" 2>&1 &
    local pid=$!
    until xwininfo -root -tree | grep '"brivane": ("brivane"' | grep -q ' 22x22'; do sleep 0.005; done
    local icon_ms=$(($(now_ms) - start))
    local position
    position=$(xwininfo -root -tree | grep '"brivane": ("brivane"' | grep ' 22x22' | head -1 | awk '{ split($NF, p, "+"); print p[2] + 11, p[3] + 11 }')
    sleep 1
    local rss_start; rss_start=$(rss_mb $pid)

    xdotool mousemove $position click 1; sleep 1
    local rss_open; rss_open=$(rss_mb $pid)
    xdotool key Escape; sleep 0.5
    xdotool mousemove $position click 1; sleep 1
    xdotool key Escape; sleep 0.5
    local first second
    first=$(grep 'popover first frame' "$scratch/log" | sed -n 1p | grep -o '[0-9]* ms')
    second=$(grep 'popover first frame' "$scratch/log" | sed -n 2p | grep -o '[0-9]* ms')

    local before; before=$(cpu_ticks $pid)
    sleep "$idle"
    local after; after=$(cpu_ticks $pid)
    local cpu; cpu=$(echo "scale=3; ($after - $before) * 100 / ($ticks * $idle)" | bc)

    printf '%-9s icon %4d ms | popover first frame: first %s, again %s | RSS %s MB after start, %s MB with popover | idle CPU %s %% over %d s\n' \
        "$name" "$icon_ms" "$first" "$second" "$rss_start" "$rss_open" "$cpu" "$idle"
    kill $pid $trayer $xvfb 2>/dev/null
    wait 2>/dev/null
    rm -rf "$scratch"
}

run software QT_QUICK_BACKEND=software
run opengl QT_QUICK_BACKEND=rhi QSG_RHI_BACKEND=opengl
