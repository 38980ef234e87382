#!/usr/bin/env bash
# A client process killed while connected is disabled at the next event and
# removed; the service goes on serving the others. Events come from the test
# service's hook. Wine never cleans up a killed client's references, so the
# server stays alive afterwards and the test ends it; Wine then keeps handing
# later creations the dead server (0x800706BA) until its wineserver ends. So
# this test runs in a prefix of its own and ends that prefix's wineserver.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"
dialix_own_prefix dead-client
export DIALIX_SERVICE_EXE=dialix_test_service.exe

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
log=$DIALIX_BIN/dialix_test_service.log
cleanup() {
  dialix_clear_loglevel
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
dialix_on_exit cleanup

dialix_client wait-exit 30000 >/dev/null
dialix_register_test_service || fail "registration failed"
dialix_set_loglevel REG_DWORD 5
rm -f "$log"

# One client at a time until the server runs: Wine may start a second server
# for two clients that create the class at the same moment.
dialix_client create connect wait-connected 20000 subscribe call self hold 120000 >"$work/dead" 2>&1 &
dialix_wait_for_line "$work/dead" '^hold:' 60000 || fail "the doomed client did not connect"
dialix_client create connect wait-connected 20000 subscribe call \
  wait-calls Notification 2 60000 wait-calls NewDevice 2 10000 wait-calls DeviceStateChanged 2 10000 \
  disconnect wait-disconnected 20000 log release >"$work/alive" 2>&1 &
alive=$!
dialix_wait_for_line "$work/alive" '^subscribe:' 60000 || fail "the other client did not connect"
dead_pid=$(sed -n 's/^self: pid=//p' "$work/dead")
dead_id=$(sed -n 's/^connected: id=//p' "$work/dead")
dialix_client terminate "$dead_pid" || fail "the client could not be ended"

# The first fan-out meets the dead client and queues its removal; the second
# must not reach it at all.
dialix_client fanout 30000 || fail "the first fan-out did not complete"
dialix_wait_for_line "$log" '\[Destructed class CClient\]' 30000 || fail "the dead client's record was not removed"
dialix_client fanout 30000 || fail "the second fan-out did not complete"

dialix_wait_for_exit 120000 "$alive" || fail "the living client did not end"
cat "$work/alive"
grep -q '^calls: DeviceStateChanged=2$' "$work/alive" || fail "the living client missed events"
[ "$(dialix_count "$work/alive" '^call: Notification ')" == 2 ] || fail "the living client's notifications were not exactly two"
grep -q '^calls: DisconnectCompleted=1$' "$work/alive" || fail "the living client could not disconnect"
removals=$(grep -c 'CDisconnectTask::Execute() completed\]' "$log")
[ "$removals" -ge 2 ] || fail "expected the dead client's removal and the living one's disconnect ($removals)"
grep -q "^connected: id=$dead_id" "$work/dead" || fail "no id for the dead client"

[ $failures -eq 0 ] && echo "all dead-client checks passed"
exit $((failures > 0))
