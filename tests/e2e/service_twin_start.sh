#!/usr/bin/env bash
# Two clients create the main object at the same moment while no service
# runs. Wine may then start a service program for each; the first to register
# serves both. Both clients must be served, and 25 s after both let go no
# service program may be left, the one nobody used included.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
dialix_on_exit 'rm -rf "$work"'
rounds=${DIALIX_TWIN_ROUNDS:-10}

# Ends whatever service program is left, so that a hung one does not outlive
# the test.
end_services() {
  for pid in $(dialix_client pid | sed -n 's/^pid: //p' | tr ',' ' '); do
    [ "$pid" != none ] && dialix_client terminate "$pid" >/dev/null
  done
}

dialix_register_service || fail "registration failed"
dialix_client wait-exit 30000 >/dev/null

client() {
  dialix_client create connect wait-connected 60000 disconnect wait-disconnected 60000 \
    release >"$work/client$1" 2>&1
}

twins=0
for round in $(seq 1 "$rounds"); do
  client 1 &
  one=$!
  client 2 &
  dialix_wait_for_exit 150000 $one $! || fail "round $round: a client still runs"
  seen=""
  for c in 1 2; do
    out=$(cat "$work/client$c")
    echo "$out" | dialix_has '^connected: id=' || { echo "$out"; fail "round $round: client $c was not served"; }
    echo "$out" | dialix_has '^calls: DisconnectCompleted=1$' ||
      { echo "$out"; fail "round $round: client $c was not disconnected"; }
    seen="$seen,$(echo "$out" | sed -n 's/^create: hr=0x00000000 server=//p')"
  done
  out=$(dialix_client pid wait-exit 25000)
  seen="$seen,$(echo "$out" | sed -n 's/^pid: //p')"
  started=$(echo "$seen" | tr ',' '\n' | grep -E '^[0-9]+$' | sort -u | wc -l)
  [ "$started" -ge 2 ] && twins=$((twins + 1))
  echo "round $round: $(echo "$out" | tr '\n' ' ')"
  if ! echo "$out" | dialix_has '^wait-exit: exited$'; then
    fail "round $round: a service program was still running 25 s after its clients let go"
    break  # a service ended from outside leaves its class registered: later rounds prove nothing
  fi
done
end_services
echo "rounds in which two service programs ran: $twins of $rounds"

[ $failures -eq 0 ] && echo "all $rounds rounds ended with no service left"
exit $((failures > 0))
