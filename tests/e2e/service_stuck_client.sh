#!/usr/bin/env bash
# A client whose callback never returns holds up nobody: ten more connect,
# run an operation, hear fan-outs and disconnect meanwhile, each getting
# every call once and in order. Real objects queue up behind the stuck call
# (its own operation's result, a phone's device events, a message
# notification), and the service still ends soon after the last client has
# let it go: the stuck client is given up on and what waited for it goes.
# The stuck client is ended from outside afterwards, and a service that
# failed to end would stay behind, so this test runs in a prefix of its own
# and ends its wineserver.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
dialix_own_prefix stuck-client
export DIALIX_SERVICE_EXE=dialix_test_service.exe

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
log=$DIALIX_BIN/dialix_test_service.log
phase=DialixTestStuckPhase$$
let_go=DialixTestStuckLetGo$$
serial=E2E-STUCK-1
phonectl() { dialix_wine "$DIALIX_BIN/phonectl.exe" "$@" | tr -d '\r'; }
cleanup() {
  dialix_client signal $phase >/dev/null
  dialix_client signal $let_go >/dev/null
  phonectl remove "$serial" >/dev/null 2>&1
  dialix_clear_loglevel
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
dialix_on_exit cleanup
others=10
rounds=3

dialix_client wait-exit 30000 >/dev/null
dialix_register_test_service || fail "registration failed"
dialix_set_loglevel REG_DWORD 5
rm -f "$log"

# The stuck client starts the server alone: Wine may start two servers for
# clients that create the class at the same moment.
dialix_client create connect-hang ConnectCompleted wait-hung 30000 self subscribe message \
  operation devices wait-event $let_go 240000 release hold 120000 >"$work/stuck" 2>&1 &
dialix_wait_for_line "$work/stuck" '^operation: devices ' 60000 || fail "the stuck client's callback was not called"

pids=()
for i in $(seq 1 $others); do
  dialix_client create connect wait-connected 30000 subscribe call unsubscribe message \
    operation devices wait-operation 30000 wait-event $phase 120000 \
    wait-calls Notification $rounds 30000 disconnect wait-disconnected 30000 log release \
    >"$work/other$i" 2>&1 &
  pids+=($!)
done
# Once one wait has failed the service is held up: the rest get a moment only.
bound=60000
for i in $(seq 1 $others); do
  dialix_wait_for_line "$work/other$i" '^operation-result:' $bound ||
    { fail "client $i got no operation result"; bound=1000; }
done
for r in $(seq 1 $rounds); do
  out=$(dialix_client fanout 30000) || { echo "$out"; fail "fan-out $r did not complete"; break; }
done
dialix_release_clients $phase $(for i in $(seq 1 $others); do echo "$work/other$i"; done) ||
  fail "not every client got past its wait for the fan-outs"
dialix_wait_for_exit 120000 "${pids[@]}" || fail "clients still run"

# A phone comes, brings a message and goes while one more client listens:
# what it hears was queued for the stuck client too, which comes first.
dialix_client create connect wait-connected 30000 subscribe message wait-device "$serial" 2 60000 \
  wait-calls Notification 1 60000 wait-device "$serial" 3 60000 disconnect wait-disconnected 30000 \
  release >"$work/listener" 2>&1 &
listener=$!
dialix_wait_for_line "$work/listener" '^subscribe: message hr=0x00000000' 60000 || fail "the listener did not subscribe"
phonectl plug "$serial" >/dev/null || fail "phonectl could not plug the phone"
dialix_wait_for_line "$work/listener" "^device-change: .* serial=$serial state=2" 60000 ||
  fail "the phone was not announced connected"
phonectl deliver "$serial" +358405555 'Queued for the stuck client' >/dev/null
dialix_wait_for_line "$work/listener" '^calls: Notification=1$' 60000 || fail "the message was not announced"
phonectl unplug "$serial" >/dev/null || fail "phonectl could not unplug the phone"
dialix_wait_for_exit 120000 "$listener" || fail "the listener still runs"
grep -q '^release: done' "$work/listener" || { cat "$work/listener"; fail "the listener did not run to its end"; }
dialix_client signal $let_go >/dev/null
dialix_wait_for_line "$work/stuck" '^release: done' 30000 || fail "the stuck client could not let the service go"

# Every client has let go: the service must end within the bounded wait
# for the stuck call and its idle time-out.
started=$(date +%s%N)
out=$(dialix_client wait-exit 10000)
echo "service ended $(( ($(date +%s%N) - started) / 1000000 )) ms after the last release"
echo "$out" | dialix_has '^wait-exit: exited$' || fail "the service did not end after its clients left"
grep -q '^hold:' "$work/stuck" || fail "the stuck client was not alive when the service ended"
stuck_pid=$(sed -n 's/^self: pid=//p' "$work/stuck")
[ -n "$stuck_pid" ] && dialix_client terminate "$stuck_pid" >/dev/null

ids=$(cat "$work"/other* | sed -n 's/^connected: id=//p' | sort -u | wc -l)
[ "$ids" == $others ] || fail "expected $others distinct client ids, got $ids"
for i in $(seq 1 $others); do
  f=$work/other$i
  dialix_check_fanned_client "$f" "$rounds" "client $i" || failures=$((failures + 1))
  n=$(dialix_count "$f" '^call: Operation(Completed|Failed) ')
  [ "$n" == 1 ] || fail "client $i got $n operation results"
done
grep -qE 'has not returned from ConnectCompleted: disabled, [1-9][0-9]* waiting calls dropped' "$log" ||
  fail "the stuck client was not given up on"
grep -q 'has not returned from ConnectCompleted' "$log" || fail "the stuck call was not abandoned"
for trace in CClient::CClient CClient::IsEnabled CClient::Enable CClient::Subscribe CClient::Unsubscribe; do
  grep -qF "$trace" "$log" || fail "no trace of $trace"
done

[ $failures -eq 0 ] && echo "all stuck-client checks passed"
exit $((failures > 0))
