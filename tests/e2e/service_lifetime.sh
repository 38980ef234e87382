#!/usr/bin/env bash
# A client starts the service by creating the main object; the service ends by
# itself after the last release, unless a new creation comes in before.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
server_of() { echo "$1" | sed -n "${2}s/^create: hr=0x00000000 server=//p" | sed -n '1p'; }

dialix_register_service || fail "registration failed"
dialix_client wait-exit 30000 >/dev/null

# Created by class id, released, created again at once: the same process.
out=$(dialix_client create dispid Connect connect-null release create pid release wait-exit 30000)
status=$?
echo "$out"
[ $status -eq 0 ] || fail "client exit code $status"
first=$(echo "$out" | grep '^create:' | sed -n '1s/.*server=//p')
second=$(echo "$out" | grep '^create:' | sed -n '2s/.*server=//p')
[ -n "$first" ] && [ "$first" != none ] || fail "no server process after the first creation"
[ "$first" == "$second" ] || fail "a creation right after the release started another server ($first, $second)"
echo "$out" | dialix_has '^dispid: Connect hr=0x00000000 id=1$' || fail "IDispatch does not name Connect 1"
echo "$out" | dialix_has '^connect-null: hr=0x' || fail "IZembra calls do not reach the server"
echo "$out" | dialix_has '^wait-exit: exited$' || fail "the server did not end after the last release"

# Created by ProgID, by a second client process while the first holds it.
out=$(dialix_client create progid pid release wait-exit 30000)
echo "$out"
echo "$out" | dialix_has '^create: hr=0x00000000 server=[0-9]' || fail "creation by ProgID failed"
echo "$out" | dialix_has '^wait-exit: exited$' || fail "the server did not end after a ProgID client"

[ $failures -eq 0 ] && echo "all lifetime checks passed"
exit $((failures > 0))
