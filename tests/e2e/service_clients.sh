#!/usr/bin/env bash
# Clients in processes of their own connect, run operations and disconnect
# through the product's service program.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { echo "$out" | dialix_has -E "$1" || fail "$2"; }

dialix_register_service || fail "registration failed"
dialix_client wait-exit 30000 >/dev/null

# Connect returns first; ConnectCompleted brings the id; the operations end in
# OperationFailed while their work is not there; Disconnect is followed by
# DisconnectCompleted, after which the id is refused.
out=$(timeout 120 bash -c 'source "$DIALIX_SOURCE/tests/support/service.sh"; dialix_client create \
  connect wait-connected 20000 subscribe call subscribe call unsubscribe events \
  operation devices wait-operation 20000 operation update-contact wait-operation 20000 \
  disconnect wait-disconnected 20000 operation devices disconnect log release pid')
echo "$out"
expect '^connect: hr=0x00000000 completed-before-return=0$' "Connect did not return before ConnectCompleted"
expect '^connected: id=00000001-[0-9a-f]{32}$' "the first client id is not 00000001-..."
expect '^subscribe: call hr=0x00000000$' "subscribing failed"
expect '^subscribe: call hr=0x80004005$' "subscribing twice did not fail with E_FAIL"
expect '^unsubscribe: events hr=0x00000000$' "unsubscribing a kind never subscribed failed"
expect '^operation-result: OperationCompleted hr=0x00000000 state=2 text=$' \
  "get devices did not complete"
expect '^operation-result: OperationFailed hr=0x80004005 state=4 text=No Contact!$' \
  "an update without its contact did not fail with its text"
expect '^disconnect: hr=0x00000000$' "Disconnect failed"
expect '^calls: DisconnectCompleted=1$' "no DisconnectCompleted"
expect '^operation: devices create=0x80070057 ' "a removed client could still create operations"
expect '^disconnect: hr=0x80070057$' "a removed client could disconnect again"
order=$(echo "$out" | sed -n 's/^call: \([A-Za-z]*\) .*/\1/p' | grep -E 'Connect|Disconnect' | tr '\n' ' ')
[ "$order" == "ConnectCompleted DisconnectCompleted " ] || fail "callbacks out of order: $order"
server=$(echo "$out" | sed -n 's/^pid: //p')

# A second client of the same server gets the next id. Its callback creates
# an operation from inside ConnectCompleted, as the browser plug-ins do: with
# the main object's lock held across the callback, both processes would hang.
out=$(timeout 120 bash -c 'source "$DIALIX_SOURCE/tests/support/service.sh"; dialix_client create \
  connect-create wait-connected 30000 disconnect wait-disconnected 20000 release pid')
echo "$out"
expect '^connected: id=00000002-[0-9a-f]{32} create-inside=0x00000000$' \
  "an operation created inside ConnectCompleted did not complete, or the id is not 00000002-..."
expect '^calls: DisconnectCompleted=1$' "the second client got no DisconnectCompleted"
[ "$(echo "$out" | sed -n 's/^pid: //p')" == "$server" ] || fail "the second client met another server"

out=$(dialix_client wait-exit 30000)
expect '^wait-exit: exited$' "the service did not end after its clients left"

# A hung service would keep this test's output open: end it.
if [ $failures -gt 0 ]; then
  for pid in $(dialix_client pid | sed -n 's/^pid: //p' | tr ',' ' '); do
    [ "$pid" != none ] && dialix_client terminate "$pid"
  done
fi
[ $failures -eq 0 ] && echo "all client checks passed"
exit $((failures > 0))
