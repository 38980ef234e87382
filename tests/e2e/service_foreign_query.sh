#!/usr/bin/env bash
# A client in another process asks one of the service's operations for an
# interface id that nothing marshals: it is told E_NOINTERFACE, the service
# stays up, and the operation still runs and reports its end.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { echo "$out" | dialix_has -E "$1" || fail "$2"; }

dialix_register_service || fail "registration failed"
dialix_client wait-exit 30000 >/dev/null

out=$(timeout 120 bash -c 'source "$DIALIX_SOURCE/tests/support/service.sh"; dialix_client create \
  connect wait-connected 20000 operation-probe events wait-operation 20000 \
  operation devices wait-operation 20000 disconnect wait-disconnected 20000 log release')
echo "$out"
expect '^operation-probe: events create=0x00000000 query=0x80004002 begin=0x00000000 ' \
  "the odd query was not refused with E_NOINTERFACE, or the operation could not be begun"
expect '^operation-result: OperationFailed hr=0x80004005 state=4 text=Invalid device.$' \
  "the probed operation did not run to its end"
[ "$(echo "$out" | grep -c '^operation-result: ')" == 2 ] || fail "the service stopped serving after the query"
[ "$(echo "$out" | grep -cE '^call: Operation(Failed|Completed) ')" == 2 ] ||
  fail "the query ran an operation, or lost one"
expect '^calls: DisconnectCompleted=1$' "the client could not disconnect"

out=$(dialix_client wait-exit 30000)
expect '^wait-exit: exited$' "the service did not end after its client left"
if [ $failures -gt 0 ]; then
  for pid in $(dialix_client pid | sed -n 's/^pid: //p' | tr ',' ' '); do
    [ "$pid" != none ] && dialix_client terminate "$pid"
  done
fi
[ $failures -eq 0 ] && echo "all foreign-query checks passed"
exit $((failures > 0))
