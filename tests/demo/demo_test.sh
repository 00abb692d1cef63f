#!/usr/bin/env bash
# ./run demo on a private X server for SECS seconds (default 60) with the
# build under test: the services run, and at the end the counters, the queue
# and the event log are still moving (the feeder lived through every round);
# the modem's SIM is on a network the operator list knows;
# a TERM closes the console through its normal exit, without a sanitizer
# report, and takes the feeder, the services and the modem with it.
#
#   demo_test.sh SOURCE_DIR BUILD_DIR [SECS]      exit 0 passed, 1 failed, 77 skipped
set -uo pipefail
src=$1 build=$2 secs=${3:-60}

fail() { echo "FAIL: $*"; [ -f "$work/demo.err" ] && { echo "--- demo stderr:"; tail -n 40 "$work/demo.err"; }; exit 1; }
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed (package xvfb)"; exit 77; }
[ -x "$build/bin/ovrinsms-console" ] || { echo "SKIP: no console in $build (a build without Qt)"; exit 77; }

work=$(mktemp -d /tmp/ovrtest-demo.XXXXXX)
xvfb_pid="" demo_pid=""
finish() {
  [ -z "$demo_pid" ] || kill -TERM "$demo_pid" 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf --one-file-system -- "$work"
}
trap finish EXIT

# A display of our own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x900x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n 1 "$work/display")"

unset XDG_RUNTIME_DIR   # the demo makes its own
export OVRINSMS_DEMO_BUILD="$build" OVRINSMS_DEMO_DIR="$work/demo"
export OVRINSMS_PLATFORM=sim OVRINSMS_SIM_ROOT="$work/demo/sim" OVRINSMS_DATA_DIR="$work/demo/data/" \
       OVRINSMS_PRIVATE_DIR="$work/demo/private/"
"$src/run" demo >"$work/demo.out" 2>"$work/demo.err" &
demo_pid=$!
ctl="$build/bin/ovrinsmsctl"

# What moves: every day counter, both queue counts, the number of events.
snapshot() {
  local status events
  status=$("$ctl" status --json) || return 1
  events=$("$ctl" events | wc -l)
  python3 -c '
import json, sys
s = json.loads(sys.argv[1])
print(sum(r["today"] for r in s["counters"]), s["outbound_sms_queue"]["count"], s["outbound_mms_queue"]["count"], sys.argv[2])
' "$status" "$events"
}

# Both services up within 20 s.
for _ in $(seq 200); do "$ctl" status >/dev/null 2>&1 && break; sleep 0.1; done
"$ctl" status >/dev/null 2>&1 || fail "the services are not running: $("$ctl" status 2>&1)"

# The simulated SIM is on a listed network: what the Modem page's Lookup
# asks gives that network's operator and its MMS settings.
look=$("$ctl" operators lookup --modem COM7: 2>&1) || fail "operators lookup --modem COM7: failed: $look"
grep -qx "operator: EE" <<<"$look" && grep -qx "apn: eezone (EE MMS)" <<<"$look" ||
  fail "Lookup gave another operator: $look"

sleep $((secs - 20))
kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended early"
before=$(snapshot) || fail "status failed"
sleep 20
kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended early"
after=$(snapshot) || fail "status failed"
echo "counters, SMS queue, MMS queue, events: $before -> $after"
read -r c0 _ _ e0 <<<"$before"
read -r c1 _ _ e1 <<<"$after"
[ "$c1" -gt "$c0" ] || fail "the counters stood still in the last 20 s ($before -> $after)"
[ "$e1" -gt "$e0" ] || fail "no new events in the last 20 s ($before -> $after)"
# The test MMS went out: the shipped template is there and used.
mms=$("$ctl" status | awk '/^MMS Sent:/ {print $3}')
[ "${mms:-0}" -gt 0 ] || fail "no MMS sent: $(cat "$work/demo/feeder.log" 2>/dev/null)"
[ ! -s "$work/demo/feeder.log" ] || { echo "feeder steps that failed (it went on):"; cat "$work/demo/feeder.log"; }

kill -TERM "$demo_pid"
for _ in $(seq 150); do kill -0 "$demo_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$demo_pid" 2>/dev/null && fail "the demo did not end within 30 s of TERM"
wait "$demo_pid"
demo_pid=""
grep -qE "Sanitizer|runtime error:" "$work/demo.err" && fail "a sanitizer report"
"$ctl" status >/dev/null 2>&1
[ $? -eq 3 ] || fail "the services still run after the demo"
# The feeder is gone: nothing moves any more.
settled=$(snapshot)
sleep 3
[ "$(snapshot)" = "$settled" ] || fail "something still feeds the gateway after the demo"
echo "PASS"
