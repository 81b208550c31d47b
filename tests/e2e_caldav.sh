#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in a real CalDAV chain: a Radicale server of the test's
# own on loopback, vdirsyncer between it and a folder, brivane reading and
# writing that folder. Events put on the server reach `brivane agenda`; an
# event made with `brivane add` reaches the server with every line as
# written; after that the two sides stay in step (vdirsyncer has nothing to
# do).
set -uo pipefail
brivane=$1

for tool in radicale vdirsyncer curl python3; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

source "$(dirname "$0")/e2e_support.sh"
scratch=$(mktemp -d)
radicale_pid=
stop_radicale() {
    if [ -n "$radicale_pid" ]; then
        kill "$radicale_pid" 2>/dev/null
        wait "$radicale_pid" 2>/dev/null
        radicale_pid=
    fi
}
trap 'stop_radicale; rm -rf "$scratch"' EXIT

# Nothing reaches the user's desktop, files or network settings.
unset DISPLAY WAYLAND_DISPLAY http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export NO_PROXY=127.0.0.1 no_proxy=127.0.0.1
export DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/no-bus
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
       XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime TZ=Europe/Berlin BRIVANE_NO_INSTANCE=1
mkdir -p "$HOME" "$XDG_CONFIG_HOME/brivane" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# ---- the server: Radicale as this user, its storage and users in the scratch folder
user=tester
password=not-a-secret
printf '%s:%s\n' "$user" "$password" >"$scratch/users"
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# Answers once the server is up: any HTTP status will do.
answers() { [ "$(curl -s --noproxy '*' -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/")" != 000 ]; }
start_radicale() {
    port=$(free_port)
    cat >"$scratch/radicale.conf" <<EOF
[server]
hosts = 127.0.0.1:$port
[auth]
type = htpasswd
htpasswd_filename = $scratch/users
htpasswd_encryption = plain
delay = 0
[rights]
type = owner_only
[storage]
filesystem_folder = $scratch/collections
[web]
type = none
EOF
    radicale --config "$scratch/radicale.conf" >>"$scratch/radicale.log" 2>&1 &
    radicale_pid=$!
    local deadline=$((SECONDS + 30))
    while [ "$SECONDS" -lt "$deadline" ]; do
        answers && return 0
        # Gone: the port was taken meanwhile, or the server cannot start.
        kill -0 "$radicale_pid" 2>/dev/null || { wait "$radicale_pid" 2>/dev/null; radicale_pid=; return 1; }
        sleep 0.1
    done
    stop_radicale
    return 1
}
started=false
for _ in 1 2 3; do
    if start_radicale; then started=true; break; fi
done
if ! $started; then
    echo "FAIL!  : Radicale did not start"
    cat "$scratch/radicale.log"
    exit 1
fi
server=http://127.0.0.1:$port
dav() { curl -s --noproxy '*' -u "$user:$password" "$@"; }

make_calendar() { # make_calendar COLLECTION DISPLAYNAME
    dav -o /dev/null -w '%{http_code}' -X MKCOL -H 'Content-Type: application/xml' \
        --data "<?xml version=\"1.0\"?><D:mkcol xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><D:set><D:prop><D:resourcetype><D:collection/><C:calendar/></D:resourcetype><D:displayname>$2</D:displayname></D:prop></D:set></D:mkcol>" \
        "$server/$user/$1/"
}
put_event() { # put_event COLLECTION NAME FILE
    dav -o /dev/null -w '%{http_code}' -T "$3" -H 'Content-Type: text/calendar; charset=utf-8' "$server/$user/$1/$2"
}
check "the server makes the calendar Team" test "$(make_calendar team Team)" = 201
check "and the calendar Home" test "$(make_calendar home Home)" = 201

crlf() { sed 's/$/\r/'; }
# Every morning of the week, in UTC.
crlf >"$scratch/standup.ics" <<'EOF'
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//e2e//server events//EN
BEGIN:VEVENT
UID:standup@e2e.test
DTSTAMP:20270101T000000Z
DTSTART:20270308T083000Z
DTEND:20270308T084500Z
RRULE:FREQ=DAILY;COUNT=10
SUMMARY:Standup
END:VEVENT
END:VCALENDAR
EOF
# In New York's time, between the two zones' changes to summer time: 10:00
# there is 16:00 in Berlin (15:00 a week later).
crlf >"$scratch/review.ics" <<'EOF'
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//e2e//server events//EN
BEGIN:VTIMEZONE
TZID:America/New_York
BEGIN:DAYLIGHT
TZOFFSETFROM:-0500
TZOFFSETTO:-0400
TZNAME:EDT
DTSTART:20070311T020000
RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU
END:DAYLIGHT
BEGIN:STANDARD
TZOFFSETFROM:-0400
TZOFFSETTO:-0500
TZNAME:EST
DTSTART:20071104T020000
RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU
END:STANDARD
END:VTIMEZONE
BEGIN:VEVENT
UID:review@e2e.test
DTSTAMP:20270101T000000Z
DTSTART;TZID=America/New_York:20270311T100000
DTEND;TZID=America/New_York:20270311T110000
SUMMARY:Design review
END:VEVENT
END:VCALENDAR
EOF
crlf >"$scratch/holiday.ics" <<'EOF'
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//e2e//server events//EN
BEGIN:VEVENT
UID:holiday@e2e.test
DTSTAMP:20270101T000000Z
DTSTART;VALUE=DATE:20270312
DTEND;VALUE=DATE:20270313
SUMMARY:Day off
END:VEVENT
END:VCALENDAR
EOF
check "the server takes the standup" test "$(put_event team standup.ics "$scratch/standup.ics")" = 201
check "the review" test "$(put_event team review.ics "$scratch/review.ics")" = 201
check "and the day off" test "$(put_event home holiday.ics "$scratch/holiday.ics")" = 201

# ---- vdirsyncer between the server and <root>/radicale/<collection>/
root=$scratch/calendars
mkdir -p "$root/radicale" "$scratch/vdirsyncer-status"
export VDIRSYNCER_CONFIG=$scratch/vdirsyncer.conf
cat >"$VDIRSYNCER_CONFIG" <<EOF
[general]
status_path = "$scratch/vdirsyncer-status/"

[pair radicale]
a = "radicale_local"
b = "radicale_remote"
collections = ["from b"]
metadata = ["displayname"]

[storage radicale_local]
type = "filesystem"
path = "$root/radicale/"
fileext = ".ics"

[storage radicale_remote]
type = "caldav"
url = "$server/"
username = "$user"
password = "$password"
EOF
# Each run's output, kept for the report at the end.
run=0
sync() {
    run=$((run + 1))
    vdirsyncer sync >"$scratch/sync-$run" 2>&1
}
# What vdirsyncer does to items says "Copying (uploading|updating) item …"
# or "Deleting item …"; "Syncing …" alone is nothing done.
did_nothing() { ! grep -Eqi 'copying|deleting|updating|uploading|downloading|conflict|error' "$scratch/sync-$run"; }

yes | vdirsyncer discover >"$scratch/discover" 2>&1
check "vdirsyncer finds both calendars" test -d "$root/radicale/team" -a -d "$root/radicale/home"
check "and syncs them" sync
vdirsyncer metasync >"$scratch/metadata" 2>&1
check "with their names" test "$(cat "$root/radicale/team/displayname" 2>/dev/null)" = Team
check "every event lands in the folder" test "$(find "$root/radicale" -name '*.ics' | wc -l)" -eq 3

printf '[General]\nonboardingComplete=true\ncalendarFolders=%s\n' "$root" >"$XDG_CONFIG_HOME/brivane/brivane.conf"

# ---- brivane reads what came from the server
agenda() { "$brivane" agenda --json --all --at 2027-03-10T08:00 >"$scratch/agenda.json" 2>"$scratch/agenda-err"; }
# expect TITLE START END CALENDAR: the event is listed once, with these times
# (ISO 8601 as `brivane agenda --json` prints them) in that calendar.
listed() {
    python3 - "$scratch/agenda.json" "$@" <<'PY'
import json, sys
agenda = json.load(open(sys.argv[1]))
title, start, end, calendar = sys.argv[2:6]
found = [e for section in ("today", "upcoming") for e in agenda[section] if e["title"] == title and e["start"] == start]
sys.exit(0 if len(found) == 1 and found[0]["end"] == end and found[0]["calendar"] == calendar else 1)
PY
}
calendar_id() { # the id brivane gives the calendar of the event TITLE
    python3 - "$scratch/agenda.json" "$1" <<'PY'
import json, sys
agenda = json.load(open(sys.argv[1]))
print(next(e["calendarId"] for section in ("today", "upcoming") for e in agenda[section] if e["title"] == sys.argv[2]))
PY
}
check "brivane agenda runs" agenda
check "today's standup, at 09:30 in Berlin" listed Standup 2027-03-10T09:30:00+01:00 2027-03-10T09:45:00+01:00 Team
check "and tomorrow's" listed Standup 2027-03-11T09:30:00+01:00 2027-03-11T09:45:00+01:00 Team
check "New York's review at 16:00 in Berlin" listed "Design review" 2027-03-11T16:00:00+01:00 2027-03-11T17:00:00+01:00 Team
check "the day off in Home" listed "Day off" 2027-03-12 2027-03-13 Home

# ---- an event made with brivane goes to the server
team=$(calendar_id Standup)
(cd "$root/radicale/team" && ls -1) | sort >"$scratch/team-before"
"$brivane" add "Planning" --start 2027-03-12T14:00 --end 2027-03-12T15:30 --calendar "$team" \
    >"$scratch/add" 2>"$scratch/add-err"
check "brivane add writes into the synced calendar" test $? -eq 0
new_files=$(cd "$root/radicale/team" && ls -1 | sort | comm -13 "$scratch/team-before" -)
check "as one new file" test "$(printf '%s\n' "$new_files" | grep -c .)" -eq 1
local_file=$root/radicale/team/$new_files
cp "$local_file" "$scratch/as-written.ics"
uid=$(sed -n 's/^UID:\(.*\)\r$/\1/p' "$local_file")
check "with its UID" test -n "$uid"

check "vdirsyncer uploads it" sync
check "(the upload is the only thing it did)" test "$(grep -Eci 'copying|deleting' "$scratch/sync-$run")" -eq 1
check "(and it says so)" grep -q "uploading.*$uid" "$scratch/sync-$run"

# The server's copy, found by its UID among the calendar's items.
dav -X PROPFIND -H 'Depth: 1' "$server/$user/team/" >"$scratch/listing.xml"
server_copy() {
    for href in $(python3 - "$scratch/listing.xml" <<'PY'
import sys, xml.etree.ElementTree as tree
for element in tree.parse(sys.argv[1]).iter("{DAV:}href"):
    if element.text.endswith(".ics"):
        print(element.text)
PY
    ); do
        dav "http://127.0.0.1:$port$href" >"$scratch/item.ics"
        if grep -q "^UID:$uid" "$scratch/item.ics"; then cp "$scratch/item.ics" "$scratch/on-server.ics"; return 0; fi
    done
    return 1
}
check "the server has it" server_copy
# Radicale stores what it parsed: its own order of lines and folding. Every
# line (unfolded) must be there, in the same component, with nothing added
# or lost.
same_lines() {
    python3 - "$1" "$2" <<'PY'
import sys
def canonical(path):
    text = open(path, newline="").read()
    if not text.endswith("\r\n") or "\n" in text.replace("\r\n", ""):
        return None  # not CRLF throughout
    lines = []
    for line in text.split("\r\n"):
        if line[:1] in (" ", "\t") and lines:
            lines[-1] += line[1:]
        elif line:
            lines.append(line)
    stack = [[[], []]]
    for line in lines:
        if line.upper().startswith("BEGIN:"):
            stack.append([[line], []])
        elif line.upper().startswith("END:"):
            props, children = stack.pop()
            stack[-1][1].append("\n".join([props[0]] + sorted(props[1:]) + sorted(children) + [line]))
        else:
            stack[-1][0].append(line)
    return stack[0][1]
a, b = canonical(sys.argv[1]), canonical(sys.argv[2])
sys.exit(0 if a is not None and a == b else 1)
PY
}
check "every line arrived unchanged" same_lines "$scratch/as-written.ics" "$scratch/on-server.ics"
# The comparison itself tells a changed line.
changed_copy_differs() {
    sed 's/^SUMMARY:Planning/SUMMARY:Plan/' "$scratch/on-server.ics" >"$scratch/changed.ics"
    ! same_lines "$scratch/as-written.ics" "$scratch/changed.ics"
}
check "(a changed line would be found)" changed_copy_differs

# ---- brivane reads everything, and then the two sides are in step
check "brivane reads the folder again" agenda
check "and lists its event once" listed Planning 2027-03-12T14:00:00+01:00 2027-03-12T15:30:00+01:00 Team
check "and still the server's" listed "Design review" 2027-03-11T16:00:00+01:00 2027-03-11T17:00:00+01:00 Team
sync
check "the next sync has nothing to do" did_nothing
sync
check "nor the one after it" did_nothing
check "brivane's file is as brivane wrote it" cmp -s "$scratch/as-written.ics" "$local_file"

echo "$passed passed, $failed failed"
if [ "$failed" -ne 0 ]; then
    for output in "$scratch"/discover "$scratch"/metadata "$scratch"/sync-* "$scratch"/add-err "$scratch"/agenda-err "$scratch"/agenda.json \
        "$scratch"/radicale.log; do
        [ -s "$output" ] && { echo "--- $(basename "$output"):"; cat "$output"; }
    done
    exit 1
fi
