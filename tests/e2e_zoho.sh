#!/usr/bin/env bash
# The Zoho commands as a user runs them, against the fake Zoho server and a
# real Secret Service (run through with_secret_service.sh).
set -uo pipefail
brivane=$1
fake_zoho=$2
scratch=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

source "$(dirname "$0")/e2e_support.sh"
contains() { grep -qF -- "$2" <<<"$1"; }

soon=$(date -u -d '+2 minutes' +%Y%m%dT%H%M%SZ)
later=$(date -u -d '+32 minutes' +%Y%m%dT%H%M%SZ)
cat >"$scratch/zoho.json" <<JSON
{"calendars": [{"uid": "work", "calname": "Zoho Work", "color": "#E8590C"}, {"uid": "home", "calname": "Zoho Home"}],
 "events": {"work": [{"uid": "z1", "title": "Zoho standup", "dateandtime": {"start": "$soon", "end": "$later"}}]}}
JSON
"$fake_zoho" --code good-code "$scratch/zoho.json" >"$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do grep -q listening "$scratch/server.log" && break; sleep 0.1; done
url=$(grep -o 'http://[0-9.:]*' "$scratch/server.log")

export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
mkdir -p "$XDG_CONFIG_HOME/brivane"
printf '[General]\nzohoAccountsURL=%s\nzohoCalendarURL=%s\n' "$url" "$url" >"$XDG_CONFIG_HOME/brivane/brivane.conf"

out=$("$brivane" zoho status 2>&1)
check "status before connecting" contains "$out" "Zoho: not connected"
out=$("$brivane" zoho connect wrong-code 2>&1); status=$?
check "a wrong code fails with Zoho's reason" test "$status" -eq 1
check "… and says it" contains "$out" "Token error: invalid_code"
out=$("$brivane" zoho connect "  good-code " 2>&1); status=$?
check "the right code connects" test "$status" -eq 0
check "… and says so" contains "$out" "Connected to Zoho."
check "… without a warning about the Secret Service" test "$(grep -c 'Secret Service' <<<"$out")" -eq 0
out=$("$brivane" zoho sync 2>&1)
check "sync counts what it read" contains "$out" "Synced 2 calendars: 1 events today"
out=$("$brivane" zoho status 2>&1)
check "status lists the calendars" contains "$out" "Zoho Home"
out=$("$brivane" agenda --json 2>&1)
check "the agenda has the Zoho event" contains "$out" '"title": "Zoho standup"'
check "… marked as Zoho's" contains "$out" '"source": "zoho"'
check "… with its calendar's colour" contains "$out" '"color": "#E8590C"'
check "no token ever reaches the output" test "$(grep -c 'access-\|refresh-' <<<"$out")" -eq 0
"$brivane" zoho disconnect >/dev/null 2>&1
out=$("$brivane" zoho status 2>&1)
check "disconnect forgets the connection" contains "$out" "Zoho: not connected"
out=$("$brivane" zoho bogus 2>&1); status=$?
check "unknown actions get the usage" test "$status" -eq 2

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
