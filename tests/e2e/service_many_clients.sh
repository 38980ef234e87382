#!/usr/bin/env bash
# Twenty client processes stay connected while events fan out over and over,
# and ten more connect, hear events and disconnect meanwhile: every event
# reaches every client that was connected throughout, exactly once; every
# client's connect and disconnect complete once each, in order; the service
# ends by itself once all have gone.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
export DIALIX_SERVICE_EXE=dialix_test_service.exe

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
phase=DialixTestFanOutsOver$$
stop=DialixTestStopFanOut$$
dialix_on_exit 'dialix_client signal $stop signal $phase >/dev/null; rm -rf "$work"'
steady=20
churning=10

dialix_client wait-exit 30000 >/dev/null
dialix_register_test_service || fail "registration failed"

run_steady() {
  dialix_client create connect wait-connected 60000 subscribe call wait-event $phase 180000 \
    disconnect wait-disconnected 60000 log release >"$work/steady$1" 2>&1
}
# The first client starts the server alone: Wine may start two servers for
# clients that create the class at the same moment.
steadies=()
run_steady 1 &
steadies+=($!)
dialix_wait_for_line "$work/steady1" '^subscribe:' 60000 || fail "the first client did not connect"
for i in $(seq 2 $steady); do run_steady "$i" & steadies+=($!); done
for i in $(seq 1 $steady); do
  dialix_wait_for_line "$work/steady$i" '^subscribe:' 120000 || fail "client $i did not connect"
done

# Fan-outs until every churning client has come and gone.
dialix_client fanout-until $stop 60000 >"$work/fanouts" 2>&1 &
fanouts=$!
churners=()
for i in $(seq 1 $churning); do
  dialix_client create connect wait-connected 60000 wait-calls NewDevice 3 60000 \
    disconnect wait-disconnected 60000 log release >"$work/churn$i" 2>&1 &
  churners+=($!)
done
dialix_wait_for_exit 180000 "${churners[@]}" || fail "churning clients still run"
dialix_client signal $stop >/dev/null
dialix_wait_for_exit 120000 "$fanouts" || fail "the fan-outs did not stop"
rounds=$(sed -n 's/^fanout-until: rounds=\([0-9]*\)$/\1/p' "$work/fanouts")
rounds=${rounds:-0}
echo "fan-outs: $rounds"
[ "$rounds" -ge 1 ] || fail "no fan-out completed"
dialix_release_clients $phase $(for i in $(seq 1 $steady); do echo "$work/steady$i"; done) ||
  fail "not every steady client got past its wait"
# Each client's own commands are bounded; a client still running after that
# hangs in a call into the service.
bound=150000
for i in $(seq 1 $steady); do
  dialix_wait_for_exit $bound "${steadies[$((i - 1))]}" ||
    { fail "steady client $i still runs"; cat "$work/steady$i"; bound=5000; }
done

ids=$(cat "$work"/steady* "$work"/churn* | sed -n 's/^connected: id=//p' | sort -u | wc -l)
[ "$ids" == $((steady + churning)) ] || fail "expected $((steady + churning)) distinct client ids, got $ids"
for i in $(seq 1 $steady); do
  f=$work/steady$i
  dialix_check_fanned_client "$f" "$rounds" "steady client $i" || failures=$((failures + 1))
done
for i in $(seq 1 $churning); do
  f=$work/churn$i
  dialix_calls_in_order "$f" || { cat "$f"; fail "churning client $i: connect and disconnect not once each, in order"; }
  grep -q '^calls: NewDevice=[1-9]' "$f" || fail "churning client $i heard no fan-out while connected"
done

out=$(dialix_client wait-exit 30000)
echo "$out" | dialix_has '^wait-exit: exited$' || fail "the service did not end after its clients left"

[ $failures -eq 0 ] && echo "all $((steady + churning)) clients checked"
exit $((failures > 0))
