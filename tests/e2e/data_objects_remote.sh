#!/usr/bin/env bash
# A contact list of the service's own, taken over by a client in another
# process through the proxy/stub library: Item's range, every contact's
# properties, and _NewEnum handing out dispatch elements many to a call and
# S_FALSE at the end.
set -uo pipefail
source "$DIALIX_SOURCE/tests/support/service.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { echo "$out" | dialix_has -E "$1" || fail "$2"; }

file=$(dialix_winpath "$(mktemp -u /tmp/dialix-peer-XXXXXX.bin)")
out=$(dialix_wine_bounded 240 "$DIALIX_BIN/dialix_data_peer.exe" serve 120 "$file" |
  tr -d '\r')
status=$?
echo "$out"
[ $status -eq 0 ] || fail "the client did not run to its end (exit $status)"
expect '^item-range: zero=0x80070057 past=0x80004005$' "Item(0) or Item(Count+1) answered wrongly"
expect '^item: read=120$' "not every contact could be read through Item"
expect '^enum: read=120 calls=2 dispatch=120 end=0x00000001$' \
  "the enumerator did not hand out 120 dispatch elements in two calls ending with S_FALSE"
[ $failures -eq 0 ] && echo "all remote data-object checks passed"
exit $((failures > 0))
