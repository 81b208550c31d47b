#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Zoho commands as a user runs them, against the fake Zoho server (in both
# of the dialects it speaks) and a real Secret Service (run through
# with_secret_service.sh); then every way the fake server can fail, each of
# which must end `brivane agenda` and `brivane zoho sync` in time, non-zero.
set -uo pipefail
brivane=$1
fake_zoho=$2
scratch=$(mktemp -d)
server_pid=
thief_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    [ -n "$thief_pid" ] && kill "$thief_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

source "$(dirname "$0")/e2e_support.sh"
# The keyring this writes tokens into must be the one with_secret_service.sh
# started, never the user's.
if [ -z "${BRIVANE_PRIVATE_BUS:-}" ] || [ "$BRIVANE_PRIVATE_BUS" != "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "FAIL!  : run through tests/with_secret_service.sh: this test writes into the session's keyring"
    echo "0 passed, 1 failed"
    exit 1
fi
contains() { grep -qF -- "$2" <<<"$1"; }
# A guard against a hang, far beyond any deadline here: 124 means it hung.
bounded() { timeout 60 "$@"; }
failed_in_time() { [ "$1" -ne 0 ] && [ "$1" -ne 124 ]; }

# Events a little after now: today's, or tomorrow's near midnight (the
# checks below count both lists, so they hold whenever they run).
soon=$(date -u -d '+2 minutes' +%Y%m%dT%H%M%SZ)
later=$(date -u -d '+32 minutes' +%Y%m%dT%H%M%SZ)
cat >"$scratch/zoho.json" <<JSON
{"calendars": [{"uid": "work", "calname": "Zoho Work", "color": "#E8590C"}, {"uid": "home", "calname": "Zoho Home"}],
 "events": {"work": [{"uid": "z1", "title": "Zoho standup", "dateandtime": {"start": "$soon", "end": "$later"}}],
            "home": [{"uid": "z2", "title": "Zoho dentist", "dateandtime": {"start": "$soon", "end": "$later"}}]}}
JSON

export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache
mkdir -p "$XDG_CONFIG_HOME/brivane"

# start_fake LOG ARGUMENT... starts a fake server; its address is in $url.
start_fake() {
    local log=$1; shift
    "$fake_zoho" --log "$@" >"$log" 2>&1 &
    started_pid=$!
    eventually 300 grep -q listening "$log"
    url=$(grep -o 'http://[0-9.:]*' "$log" | head -1)
}
# use_fake OPTION...: a fake server with the usual data, where brivane goes.
use_fake() {
    stop_fake
    start_fake "$scratch/server.log" "$@" "$scratch/zoho.json"
    server_pid=$started_pid
    printf '[General]\nzohoAccountsURL=%s\nzohoCalendarURL=%s\n' "$url" "$url" >"$XDG_CONFIG_HOME/brivane/brivane.conf"
}
stop_fake() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; fi
    server_pid=
}
requests() { grep -c "^$1" "$scratch/server.log"; }
# synced_events OUTPUT N: the sync read N events, today's and the week's.
synced_events() {
    [[ $1 =~ Synced\ 2\ calendars:\ ([0-9]+)\ events\ today,\ ([0-9]+)\ in ]] &&
        [ $((BASH_REMATCH[1] + BASH_REMATCH[2])) -eq "$2" ]
}

# The whole flow, once in each dialect.
for dialect in original documented; do
    [ "$dialect" = documented ] && use_fake --code good-code --documented-api || use_fake --code good-code
    "$brivane" zoho disconnect >/dev/null 2>&1
    out=$("$brivane" zoho status 2>&1)
    check "$dialect: status before connecting" contains "$out" "Zoho: not connected"
    out=$("$brivane" zoho connect wrong-code 2>&1); status=$?
    check "$dialect: a wrong code fails with Zoho's reason" test "$status" -eq 1
    check "$dialect: … and says it" contains "$out" "Token error: invalid_code"
    out=$("$brivane" zoho connect "  good-code " 2>&1); status=$?
    check "$dialect: the right code connects" test "$status" -eq 0
    check "$dialect: … and says so" contains "$out" "Connected to Zoho."
    check "$dialect: … without a warning about the Secret Service" test "$(grep -c 'Secret Service' <<<"$out")" -eq 0
    out=$("$brivane" zoho sync 2>&1)
    check "$dialect: sync counts what it read" synced_events "$out" 2
    out=$("$brivane" zoho status 2>&1); status=$?
    check "$dialect: status lists the calendars" contains "$out" "Zoho Home"
    check "$dialect: … and the last sync's outcome" contains "$out" "Last error: none"
    check "$dialect: … without reading events" test "$(requests 'GET /api/v1/calendars/')" -eq 2
    out=$("$brivane" agenda --json 2>&1); status=$?
    check "$dialect: the agenda has the Zoho event" contains "$out" '"title": "Zoho standup"'
    check "$dialect: … marked as Zoho's" contains "$out" '"source": "zoho"'
    check "$dialect: … with its calendar's colour" contains "$out" '"color": "#E8590C"'
    check "$dialect: … and succeeds" test "$status" -eq 0
    check "$dialect: no token ever reaches the output" test "$(grep -c 'access-\|refresh-' <<<"$out")" -eq 0
    "$brivane" zoho disconnect >/dev/null 2>&1
    out=$("$brivane" zoho status 2>&1)
    check "$dialect: disconnect forgets the connection" contains "$out" "Zoho: not connected"
done
out=$("$brivane" zoho bogus 2>&1); status=$?
check "unknown actions get the usage" test "$status" -eq 2

# Token lifetimes run on the real clock, whatever --at says: with 30 seconds
# left, the token is refreshed before the agenda of a day long past is read.
use_fake --code good-code --token-lifetime 30
"$brivane" zoho connect good-code >/dev/null 2>&1
"$brivane" agenda --at 2026-03-28T10:00 >/dev/null 2>&1
check "a token about to expire is refreshed whatever --at says" test "$(requests 'POST /oauth/v2/token')" -ge 2

# Every failure, answered in time and non-zero. Short deadlines keep this
# quick; BRIVANE_ZOHO_TIMEOUT_MS exists for tests like this one.
export BRIVANE_ZOHO_TIMEOUT_MS=1500
start_fake "$scratch/thief.log"
thief_pid=$started_pid
thief=$url
# scenario NAME EXPECTED-STATUS EXPECTED-TEXT FAKE-OPTION...
scenario() {
    local name=$1 expected=$2 text=$3; shift 3
    use_fake --code good-code --slow-ms 5000 --trickle-ms 200 --redirect-to "$thief" "$@"
    "$brivane" zoho disconnect >/dev/null 2>&1
    "$brivane" zoho connect good-code >/dev/null 2>&1
    agenda=$(bounded "$brivane" agenda 2>&1); agenda_status=$?
    sync=$(bounded "$brivane" zoho sync 2>&1); sync_status=$?
    if [ "$expected" = fails ]; then
        check "$name: agenda fails in time" failed_in_time "$agenda_status"
        check "$name: sync fails in time" failed_in_time "$sync_status"
        check "$name: … saying \"$text\"" contains "$sync" "$text"
    else
        check "$name: agenda succeeds" test "$agenda_status" -eq 0
        check "$name: sync succeeds" test "$sync_status" -eq 0
    fi
    check "$name: no token reaches the output" test "$(grep -c 'access-\|refresh-' <<<"$agenda$sync")" -eq 0
}
for how in 500 401 notjson array hang slow trickle reset large redirect; do
    scenario "events $how" fails "Zoho Work: " --fail-events "work=$how"
done
check "the events that could be read are still listed" contains "$agenda" "Zoho dentist"
out=$("$brivane" zoho status 2>&1)
check "status shows the failing calendar of the last sync" contains "$out" "Last error: Zoho Work: Zoho redirected"
scenario "events 401 then success" works "" --fail-events work=401once
scenario "events redirect on the same server" works "" --fail-events work=redirect-here
scenario "calendars 500" fails "API error: Zoho answered 500 Internal Server Error" --fail-calendars 500
scenario "calendars 401" fails "API error: Zoho refused access: 401 Unauthorized" --fail-calendars 401
scenario "calendars error200" fails "API error: Invalid calendars response" --fail-calendars error200
scenario "calendars reset" fails "Connection reset by the server" --fail-calendars reset
scenario "calendars large" fails "larger than 4 MB" --fail-calendars large
scenario "calendars redirect" fails "redirected the request to another server" --fail-calendars redirect
scenario "calendars 401 then success" works "" --fail-calendars 401once
for how in error200 500 notjson reset large redirect crlf; do
    scenario "refresh $how" fails "" --token-lifetime 30 --fail-refresh "$how"
done
scenario "refresh invalid_grant" fails "Zoho: not connected" --token-lifetime 30 --fail-refresh invalid_grant
check "… the agenda said access was revoked" contains "$agenda" "Zoho access was revoked: connect again"
check "no request ever reached another server" test "$(grep -c '^GET\|^POST' "$scratch/thief.log")" -eq 0

use_fake --code good-code --fail-token crlf
out=$(bounded "$brivane" zoho connect good-code 2>&1); status=$?
check "a token holding CR LF is refused" test "$status" -eq 1
check "… as an unexpected response" contains "$out" "Token error: Unexpected response: "
out=$("$brivane" zoho status 2>&1)
check "… and never stored" contains "$out" "Zoho: not connected"

# A failure found before any request (an address refused by the https rule)
# ends the wait at once, instead of hanging it.
use_fake --code good-code
"$brivane" zoho connect good-code >/dev/null 2>&1
# The settings are written anew, with the note that connecting made.
printf '[General]\nzohoConnected=true\nzohoAccountsURL=%s\nzohoCalendarURL=http://calendar.example.com\n' "$url" \
    >"$XDG_CONFIG_HOME/brivane/brivane.conf"
out=$(bounded "$brivane" zoho sync 2>&1); status=$?
check "sync with a refused address ends" failed_in_time "$status"
check "… saying why" contains "$out" "only https is allowed"
out=$(bounded "$brivane" agenda 2>&1); status=$?
check "agenda with a refused address ends" failed_in_time "$status"
out=$(bounded "$brivane" zoho status 2>&1); status=$?
check "status with a refused address ends" failed_in_time "$status"
check "… saying why" contains "$out" "only https is allowed"

# The command's own deadline holds when the requests one by one would not.
cat >"$scratch/many.json" <<JSON
{"calendars": [{"uid": "a", "calname": "A"}, {"uid": "b", "calname": "B"}, {"uid": "c", "calname": "C"},
               {"uid": "d", "calname": "D"}]}
JSON
stop_fake
start_fake "$scratch/server.log" --code good-code --fail-events a=hang --fail-events b=hang --fail-events c=hang \
    --fail-events d=hang "$scratch/many.json"
server_pid=$started_pid
printf '[General]\nzohoAccountsURL=%s\nzohoCalendarURL=%s\n' "$url" "$url" >"$XDG_CONFIG_HOME/brivane/brivane.conf"
"$brivane" zoho connect good-code >/dev/null 2>&1
out=$(BRIVANE_ZOHO_TIMEOUT_MS=1000 bounded "$brivane" zoho sync 2>&1); status=$?
check "a sync longer than the command's deadline ends" failed_in_time "$status"
check "… saying so" contains "$out" "Zoho did not finish in time"
"$brivane" zoho disconnect >/dev/null 2>&1

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
