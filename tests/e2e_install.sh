#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# brivane installed as a user or a package installs it: `cmake --install`
# into a prefix of the test's own (with a space in its name), the files a
# desktop, a software centre, man and the shells look for checked with
# their own tools, and the installed program run from there, with nothing
# of the build folder.
set -uo pipefail
build=$1
source_dir=$2
app_id=io.github.brivane.brivane

for tool in desktop-file-validate appstreamcli cmake; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/setup installs it)"; exit 77; }
done

source "$(dirname "$0")/e2e_support.sh"
scratch=$(mktemp -d)
instance=
trap '[ -n "$instance" ] && kill "$instance" 2>/dev/null; rm -rf "$scratch"' EXIT

# Nothing reaches the user's desktop or files.
unset DISPLAY WAYLAND_DISPLAY BRIVANE_NO_INSTANCE XDG_DATA_DIRS XDG_CONFIG_DIRS
export DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/no-bus
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
       XDG_CACHE_HOME=$scratch/cache XDG_STATE_HOME=$scratch/state XDG_RUNTIME_DIR=$scratch/runtime \
       TZ=Europe/Berlin LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

prefix="$scratch/pre fix"
if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
    echo "FAIL!  : cmake --install"; cat "$scratch/install.log"; exit 1
fi
share=$prefix/share
brivane=$prefix/bin/brivane

# --- what is installed, and where ---------------------------------------
check "the launcher is in bin" test -x "$brivane"
check "the whole program is in libexec/brivane" test -x "$prefix/libexec/brivane/brivane-app"
check "nothing else is in bin" test "$(ls "$prefix/bin")" = brivane
desktop=$share/applications/$app_id.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml
check "the desktop entry is named by the application id" test -f "$desktop"
check "the metainfo is named by the application id" test -f "$metainfo"
check "the scalable icon" test -f "$share/icons/hicolor/scalable/apps/$app_id.svg"
png_size() { # the width and height a PNG's header gives
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%d %d", $3 * 256 + $4, $7 * 256 + $8 }'
}
for size in 16 22 24 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x$size/apps/$app_id.png
    check "the ${size}x$size icon is a PNG of that size" test "$(png_size "$icon" 2>/dev/null)" = "$size $size"
done
check "the man page" test -f "$share/man/man1/brivane.1.gz"
check "bash's completion" test -f "$share/bash-completion/completions/brivane"
check "zsh's completion" test -f "$share/zsh/vendor-completions/_brivane"
check "fish's completion" test -f "$share/fish/vendor_completions.d/brivane.fish"
check "the licence terms" test -f "$share/doc/brivane/copyright"
check "no Debian changelog outside the .deb" test ! -e "$share/doc/brivane/changelog.Debian.gz"
# The installed programs must not lean on the build: no run path into it.
for program in "$brivane" "$prefix/libexec/brivane/brivane-app"; do
    check "$(basename "$program") has no run path into the build" \
        sh -c "! readelf -d '$program' | grep -E 'R(UN)?PATH' | grep -qF '$build'"
done

# --- the desktop entry and the metainfo, as the desktop's tools read them --
desktop-file-validate "$desktop" >"$scratch/desktop-check" 2>&1
check "desktop-file-validate finds nothing wrong" test ! -s "$scratch/desktop-check"
entry() { sed -n "/^\[Desktop Entry\]/,/^\[/s/^$1=//p" "$desktop"; }
check "the entry starts the installed launcher" test "$(entry Exec)" = brivane
check "its icon is the installed one" test "$(entry Icon)" = "$app_id"
check "it is a calendar" sh -c "echo '$(entry Categories)' | grep -q '\\bCalendar;'"
check "no GNOME-only autostart key" sh -c "! grep -q '^X-GNOME-Autostart' '$desktop'"
appstreamcli validate --no-net "$metainfo" >"$scratch/metainfo-check" 2>&1
check "appstreamcli validates the metainfo" test $? -eq 0
check "its launchable is the desktop entry" grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo"
appstreamcli validate-tree --no-net "$prefix" >"$scratch/tree-check" 2>&1
check "appstreamcli validates the installed tree" test $? -eq 0
check "every screenshot is one of docs/'s pictures" sh -c "
    grep -o 'https://[^<]*' '$metainfo' | grep '\\.png$' | while read -r url; do
        case \$url in https://raw.githubusercontent.com/brivane/brivane/main/docs/*) ;; *) exit 1 ;; esac
        test -f '$source_dir/docs/'\"\${url##*/docs/}\" || exit 1
    done"

# --- the installed program, run from its prefix ---------------------------
version=$("$brivane" --version)
check "--version names the program and a version" sh -c "echo '$version' | grep -qE '^brivane [0-9]+\\.[0-9]+\\.[0-9]+$'"
version=${version#brivane }
check "the newest release in the metainfo is this version" \
    test "$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)" = "$version"
check "the man page is of this version" sh -c "gzip -dc '$share/man/man1/brivane.1.gz' | grep -q '^\\.TH BRIVANE 1 .*brivane $version'"
check "brivane-app says the same version" test "$("$prefix/libexec/brivane/brivane-app" --version)" = "brivane $version"

"$brivane" --help >"$scratch/help" 2>&1
check "--help exits with 0" test $? -eq 0
check "--help tells the exit statuses" grep -q "^Exit status:" "$scratch/help"
"$brivane" agenda --help >"$scratch/agenda-help" 2>&1
check "agenda --help exits with 0" test $? -eq 0
check "agenda --help tells agenda's options only" sh -c "grep -q -- '--all' '$scratch/agenda-help' && ! grep -q -- '--follow' '$scratch/agenda-help'"
"$brivane" --no-such-option >/dev/null 2>&1
check "an unknown option exits with 2" test $? -eq 2
# After `--` a --help is an argument like any other: here an id no event has.
"$brivane" delete -- --help >"$scratch/dashes" 2>&1
check "-- ends the options that ask for help" test $? -eq 2
check "and the command says why" grep -q 'no event has the id "--help"' "$scratch/dashes"

"$brivane" status --at 2026-12-10T08:00 >"$scratch/status" 2>"$scratch/status-err"
check "status runs" test $? -eq 0
check "status prints the date when nothing is next" grep -q "Dec" "$scratch/status"
# add is left to the whole program: the launcher must find it under the prefix.
"$brivane" add "Installed standup" --start 2026-12-10T09:30 >"$scratch/add" 2>"$scratch/add-err"
check "add runs the installed brivane-app" test $? -eq 0
"$brivane" agenda --at 2026-12-10T08:00 >"$scratch/agenda" 2>"$scratch/agenda-err"
check "agenda runs" test $? -eq 0
check "agenda lists the event added" grep -q "09:30–10:30.*Installed standup" "$scratch/agenda"
"$brivane" status --at 2026-12-10T09:10 >"$scratch/status-next" 2>&1
check "status names the next event" grep -q "Installed standup · in 20m" "$scratch/status-next"

# The tray program's windows come from QML modules built into it: the
# popover opens with nothing of the build around.
mkdir -p "$XDG_CONFIG_HOME/brivane"
printf '[General]\nonboardingComplete=true\n' >"$XDG_CONFIG_HOME/brivane/brivane.conf"
BRIVANE_TIMING=1 "$brivane" >"$scratch/tray-out" 2>"$scratch/tray-err" &
instance=$!
check "the installed tray program starts" eventually 300 grep -q "timing: tray icon requested" "$scratch/tray-err"
"$brivane" --toggle >/dev/null 2>"$scratch/toggle-err"
check "--toggle reaches it" test $? -eq 0
check "its popover draws a frame" eventually 300 grep -q "timing: popover first frame" "$scratch/tray-err"
check "no QML module is missing" sh -c "! grep -Eq 'is not installed|QQmlApplicationEngine failed|QQmlComponent' '$scratch/tray-err'"
kill "$instance" 2>/dev/null
wait "$instance" 2>/dev/null
instance=

# --- the man page and the completions know every command and option ------
options=$(grep -oE -- '--[a-z][a-z-]+' "$scratch/help" | sort -u)
commands="agenda status add delete join zoho connect disconnect status sync"
check "--help lists the commands and options" test "$(echo "$options" | wc -l)" -ge 12
man_text=$(gzip -dc "$share/man/man1/brivane.1.gz" | sed 's/\\-/-/g')
bash_completion=$share/bash-completion/completions/brivane
zsh_completion=$share/zsh/vendor-completions/_brivane
fish_completion=$share/fish/vendor_completions.d/brivane.fish
# The option as a word of its own: --all is not --all-day.
word() { grep -qE -- "(^|[^a-z-])$1([^a-z-]|\$)"; }
for option in $options; do
    check "the man page tells $option" word "$option" <<<"$man_text"
    check "bash completes $option" word "$option" <"$bash_completion"
    check "zsh completes $option" grep -qE -- "$option(\\[|=\\[|\\})" "$zsh_completion"
    check "fish completes $option" grep -qE -- "-l ${option#--}( |$)" "$fish_completion"
done
for command in $commands; do
    check "the man page tells $command" grep -qE "^\\.SS \"(zoho )?$command" <<<"$man_text"
done
if command -v man >/dev/null; then
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$share/man/man1/brivane.1.gz" \
        >/dev/null 2>"$scratch/man-check"
    check "man reads the page without a warning" test ! -s "$scratch/man-check"
fi

# bash: what a Tab offers, as bash asks the completion function.
complete_bash() { # the words on the command line, the last one being completed
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _brivane; [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$bash_completion" "$@" | sort | tr '\n' ' '
}
check "bash: the commands" test "$(complete_bash brivane '')" = "--help --settings --toggle --version add agenda delete join status zoho "
check "bash: agenda's options" test "$(complete_bash brivane agenda --)" = "--all --at --help --json "
check "bash: an option given is not offered again" test "$(complete_bash brivane status --json --)" = "--at --follow --help "
check "bash: no option for --at's value" test "$(complete_bash brivane agenda --at '')" = ""
check "bash: zoho's actions" test "$(complete_bash brivane zoho s)" = "status sync "
check "bash: zoho status is no status" test "$(complete_bash brivane zoho status --)" = ""
check "bash: add's options" test "$(complete_bash brivane add Dentist --)" = "--all-day --calendar --end --help --start "
if command -v fish >/dev/null; then
    complete_fish() {
        fish --no-config -c "source '$fish_completion'; complete -C '$1'" | cut -f1 | sort | tr '\n' ' '
    }
    check "fish: the commands" test "$(complete_fish 'brivane ')" = "add agenda delete join status zoho "
    check "fish: status's options" test "$(complete_fish 'brivane status --')" = "--at --follow --help --json "
    check "fish: zoho's actions" test "$(complete_fish 'brivane zoho ')" = "connect disconnect status sync "
    check "fish: zoho status is no status" sh -c "! fish --no-config -c \"source '$fish_completion'; complete -C 'brivane zoho status --'\" | grep -q -- --follow"
fi
if command -v zsh >/dev/null; then
    check "zsh reads its completion" zsh -n "$zsh_completion"
fi

echo "$passed passed, $failed failed"
if [ "$failed" -ne 0 ]; then
    for file in desktop-check metainfo-check tree-check status-err add-err agenda-err tray-err toggle-err man-check; do
        [ -s "$scratch/$file" ] && { echo "--- $file:"; cat "$scratch/$file"; }
    done
    exit 1
fi
